#pragma once

#include "base/result.h"
#include "runs/runrecord.h"

class QIODevice;

namespace report {

// The report of a stored run, from its record alone: the run's own figures on page 1, then what
// its logs show. Needs a QApplication, on its thread: Qt Charts draws with the graphics view.
base::Status writeRunReport(const runs::RunRecord &run, QIODevice &out);

} // namespace report
