#pragma once

#include "camcheck.h"

#include "runs/runrecord.h"

#include <optional>

namespace runs {
class RunDatabase;
}

// What the commands on the kept cam tables share with the report of a stored run; the commands
// themselves are declared with the others in commands.h.
namespace report {

// The lens's cam table for the report of a stored run: the latest table kept with the run's
// serial that was saved before the run started; none when there is none.
base::Result<std::optional<CamTable>> camTableOfRun(runs::RunDatabase &records,
                                                    const runs::RunRecord &run);

} // namespace report
