#pragma once

#include "runfilter.h"

#include "base/result.h"
#include "runin/runrecorder.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// The counts behind the quality figures, as the database sums them up: no run is loaded whole.
namespace runs {

class RunDatabase;

// "2026-W49": the ISO week of the local day a run started on.
QString isoWeek(const QDateTime &start);
QString isoWeek(const QDate &day);
// The local Mondays (as instants) from the week holding `from` to the one after `to`: the
// borders between the weeks the runs in between fall into.
std::vector<QDateTime> weekBorders(const QDateTime &from, const QDateTime &to);

// The runs of one ISO week at one station.
struct WeekCounts
{
    QString week, station;
    int runs = 0;
    int withoutSerial = 0;
    int passed = 0;
    int lenses = 0; // distinct serials run

    bool operator==(const WeekCounts &) const = default;
};

// The lenses whose first run ever was in one week at one station, and how they went. A lens
// counts when its first run passes the filter; its latest run is its latest before `until`,
// wherever and by whomever it was made.
struct CohortCounts
{
    QString week, station;
    int lenses = 0;
    int firstPass = 0; // the first run had no error above the threshold
    int finalPass = 0; // the latest run had none

    bool operator==(const CohortCounts &) const = default;
};

// Runs that had errors above the threshold on one axis, by the tests they ran.
struct AxisTestCounts
{
    int axis = 0; // 0 Zoom 1 ... 3 Focus
    QString tests;
    int failedRuns = 0;
    int errors = 0;

    bool operator==(const AxisTestCounts &) const = default;
};

struct EndingCounts
{
    runin::RunEnding ending = runin::RunEnding::Unknown;
    int runs = 0;
    int failed = 0;

    bool operator==(const EndingCounts &) const = default;
};

struct QualityCounts
{
    std::vector<WeekCounts> weeks;     // by week, then station
    std::vector<CohortCounts> cohorts; // by week, then station
    std::vector<AxisTestCounts> axisTests;
    std::vector<EndingCounts> endings;
    int lenses = 0; // distinct serials among the runs

    bool operator==(const QualityCounts &) const = default;
};

// The sums the quality figures are made of (quality::compute): from the summary kept as runs
// arrive (runsummary.h) where it answers the filter in this program's time zone, else from the
// runs themselves. `Scan` always from the runs; `Summary` from the summary or not at all (none).
enum class Source { Best, Scan, Summary };
base::Result<std::optional<QualityCounts>> qualityCounts(RunDatabase &database,
                                                         const RunFilter &filter, Source source);
base::Result<QualityCounts> qualityCounts(RunDatabase &database, const RunFilter &filter);

} // namespace runs
