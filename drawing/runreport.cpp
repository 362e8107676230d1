#include "runreport.h"

#include "pdfreport.h"

#include "runlog/runlog.h"
#include "runs/localtime.h"

namespace drawing {

namespace {

// The run's own figures, before those its log gives.
std::vector<std::pair<QString, QString>> aboutRun(const runs::RunRecord &run)
{
    return {{QStringLiteral("Run"), run.id},
            {QStringLiteral("Station"), run.station},
            {QStringLiteral("Operator"), run.operatorName},
            {QStringLiteral("Version"), run.version},
            {QStringLiteral("Port"), run.port},
            {QStringLiteral("Lens serial"),
             run.serial.isEmpty() ? QStringLiteral("not given") : run.serial},
            {QStringLiteral("Tests"), run.tests},
            {QStringLiteral("Started"), runs::localTime(run.start)},
            {QStringLiteral("Ended"), runs::localTime(run.end)},
            {QStringLiteral("How it ended"), runs::endingText(run.ending)}};
}

} // namespace

base::Status writeRunReport(const runs::RunRecord &run,
                            const std::optional<camtable::CamTable> &cam, QIODevice &out)
{
    ReportInput input;
    input.cam = cam;
    input.complete = runlog::readLog(run.complete, QStringLiteral("Log Complete.txt"));
    input.errors = runlog::readLog(run.errors, QStringLiteral("Log Errors.txt"));
    input.about = aboutRun(run);
    return writePdf(input, out);
}

} // namespace drawing
