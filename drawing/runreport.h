#pragma once

#include "camtable/camcheck.h"

#include "base/result.h"
#include "runs/runrecord.h"

#include <optional>

class QIODevice;

namespace drawing {

// The report of a stored run, from its record and its lens's cam table
// (runs::CamStore::tableOfRun): the run's own figures on page 1, then what its logs show, then the
// cam table when there is one. Needs a QApplication, on its thread: Qt Charts draws with the
// graphics view.
base::Status writeRunReport(const runs::RunRecord &run,
                            const std::optional<camtable::CamTable> &cam, QIODevice &out);

} // namespace drawing
