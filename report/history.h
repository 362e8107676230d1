#pragma once

#include "quality/quality.h"
#include "runs/runrecord.h"

#include <QString>

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

// The run records over time: how many runs each station made each day and how they went, and the
// first-pass yield per week (a lens serial whose first run passed).
namespace report {

struct DayCount
{
    int runs = 0;
    int passed = 0; // no error above the threshold
};

struct WeekYield
{
    int serials = 0; // serials whose first run lies in the week
    int firstPass = 0;
};

struct History
{
    std::map<std::pair<QString, QString>, DayCount> days; // (day, station)
    std::map<QString, WeekYield> weeks;                   // "2026-W49"
    int runs = 0;
    int withoutSerial = 0;
};

// The days from the runs, the weeks' yield from the quality figures (a serial's first run is its
// first in the records, whatever --since says).
History historyOf(const std::vector<runs::RunRecord> &records,
                  const std::vector<quality::Cell> &weeks);
QString historyText(const History &history, const QString &source);
// Gives the exit status.
int writeHistoryPdf(const History &history, const QString &source, const QString &output,
                    std::FILE *out, std::FILE *err);

} // namespace report
