#pragma once

#include "runs/runrecord.h"

// What the pages say of a run's outcome.
namespace plant {

// Whether a run passed: no error above the running-in test's threshold.
bool passed(const runs::RunRecord &run);

} // namespace plant
