#include "records.h"

#include "runin/verdict.h"

namespace plant {

bool passed(const runs::RunRecord &run)
{
    return runin::passes(run.errorCount());
}

} // namespace plant
