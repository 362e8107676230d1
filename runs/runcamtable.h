#pragma once

#include "rundatabase.h"

#include "camtable/camcheck.h"

#include <optional>

namespace runs {

// The lens's cam table for the report of a stored run: the latest table kept with the run's
// serial that was saved before the run started; none when there is none.
base::Result<std::optional<camtable::CamTable>> camTableOfRun(RunDatabase &records,
                                                              const RunRecord &run);

} // namespace runs
