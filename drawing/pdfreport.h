#pragma once

#include "camtable/camcheck.h"
#include "runlog/runlog.h"

#include "base/result.h"

#include <optional>
#include <utility>
#include <vector>

class QIODevice;

// The report as a PDF: the run at a glance on page 1, then the charts, then the lines that did
// not read.
namespace drawing {

struct ReportInput
{
    runlog::RunLog complete;
    std::optional<runlog::RunLog> errors; // the errors log, when given
    std::optional<camtable::CamTable> cam;
    // What page 1 says of a stored run before the log's own figures (station, operator, ...).
    std::vector<std::pair<QString, QString>> about;
};

// Writes the whole report to `out`; a failure gives the device's reason.
base::Status writePdf(const ReportInput &input, QIODevice &out);

} // namespace drawing
