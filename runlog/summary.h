#pragma once

#include "runlog.h"

#include "runin/verdict.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// What a technician reads first: when the run went, what moved, and which axes erred beyond the
// threshold.
namespace runlog {

struct AxisErrors
{
    int count = 0;                 // errors beyond the threshold
    std::optional<double> largest; // the largest absolute error among them
};

// The time of the first or the last line, as written and as read.
struct LogMoment
{
    QString text;                    // "<date>  <time>"
    std::optional<QDateTime> moment; // none when it does not read here: unknown, not guessed
};

struct Summary
{
    int lines = 0;
    int entries = 0;
    int unreadable = 0;
    std::optional<LogMoment> first, last; // none in a log without a readable line
    std::optional<qint64> durationMs;     // only when both ends are known
    std::array<std::array<int, kTestCount>, kAxisCount> moves{}; // [axis][test]
    int completedCycles = 0;
    std::array<AxisErrors, kAxisCount> errors{};
};

Summary summarise(const RunLog &log);

// "3 h 04 min 05 s"
QString durationText(qint64 milliseconds);

// How the errors log and the error lines of the complete log agree: each lists the line numbers of
// its own error lines that the other lacks.
struct ErrorsCheck
{
    int errorLines = 0;              // error lines in the errors log
    std::vector<int> onlyInErrors;   // line numbers in the errors log
    std::vector<int> onlyInComplete; // line numbers in the complete log
    std::vector<int> notErrorLines;  // lines of the errors log that are not error lines
};

ErrorsCheck compareErrorLogs(const RunLog &complete, const RunLog &errors);

} // namespace runlog
