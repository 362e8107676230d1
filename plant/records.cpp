#include "records.h"

namespace plant {

bool passed(const runs::RunRecord &run)
{
    return run.errorCount() == 0;
}

} // namespace plant
