#pragma once

#include "base/axiscount.h"
#include "base/result.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <vector>

namespace runs {
class RunDatabase;
}

// Control charts of the errors per move (u-charts): how often a station's runs go past the
// threshold, run after run, with the limits that chance alone would keep them within.
namespace quality {

// What a u-chart reads of a run: its moves and errors above the threshold on each axis.
struct RunCounts
{
    QString run; // the run's id
    QDateTime start;
    QString serial;
    int errors = 0; // on all axes
    QString station;
    std::array<int, base::kAxisCount> moves{}, axisErrors{};
};

struct UPoint
{
    QString run;
    QDateTime start;
    int moves = 0, errors = 0;
    double rate = 0, ucl = 0, lcl = 0; // errors per move, and the point's limits
};

struct UFlag
{
    QString run;
    int rule = 0; // 1: above its upper limit; 2: the 8th or later in a row above the centre
};

struct UChart
{
    double centre = 0; // errors per move over every point
    std::vector<UPoint> points;
    std::vector<UFlag> flagged; // in the points' order, rule 1 before rule 2 for one point
};

// The default and the most runs a chart goes back over.
inline constexpr int kChartRuns = 50;
inline constexpr int kMostChartRuns = 1000;

// The u-chart of one axis (0 Zoom 1 ... 3 Focus) over runs in start order: a point per run that
// moved that axis, the centre ū = Σ errors / Σ moves, the limits ū ± 3·√(ū/n) (the lower one at
// least 0) and the points flagged.
UChart uChart(const std::vector<RunCounts> &runs, int axis);

// The latest `latest` runs of a station, oldest first, from their figures alone (never a log).
base::Result<std::vector<RunCounts>> latestRunsOf(runs::RunDatabase &records,
                                                  const QString &station, int latest);
// The same of each station, in one query.
base::Result<std::map<QString, std::vector<RunCounts>>>
latestRunsOf(runs::RunDatabase &records, const QStringList &stations, int latest);

// The latest two runs of each lens with a failed run since `since`, by serial, newest first.
base::Result<std::vector<RunCounts>> latestTwoOfFailedLenses(runs::RunDatabase &records,
                                                             const QDateTime &since);

// The axis of its records' name ("zoom1", ... "focus"), or -1.
int axisOfKey(const QString &key);

// {"station", "axis", "centre", "points": [...], "flagged": [...]}, times as in the runs' JSON.
QJsonObject uChartJson(const QString &station, const QString &axisKey, const UChart &chart);

} // namespace quality
