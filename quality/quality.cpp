#include "quality.h"

#include "runs/rundatabase.h"
#include "runs/runqueries.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace quality {

namespace {

std::optional<double> percent(int part, int whole)
{
    if (whole <= 0)
        return std::nullopt;
    return 100.0 * part / whole;
}

// Shares and the running sum down a list already in its order.
template <class Row> void addShares(std::vector<Row> &rows, int Row::*counted)
{
    const int all =
        std::accumulate(rows.begin(), rows.end(), 0,
                        [counted](int sum, const Row &row) { return sum + row.*counted; });
    double running = 0;
    for (Row &row : rows) {
        row.share = all == 0 ? 0 : 100.0 * row.*counted / all;
        running += row.share;
        row.cumulative = std::min(running, 100.0);
    }
}

void addInto(Cell &sum, const Cell &cell)
{
    sum.runs += cell.runs;
    sum.withoutSerial += cell.withoutSerial;
    sum.passed += cell.passed;
    sum.newLenses += cell.newLenses;
    sum.firstPass += cell.firstPass;
    sum.finalPass += cell.finalPass;
}

} // namespace

std::optional<double> Cell::firstPassYield() const
{
    return percent(firstPass, newLenses);
}

std::optional<double> Cell::finalYield() const
{
    return percent(finalPass, newLenses);
}

base::Result<Quality> compute(runs::RunDatabase &records, const runs::RunFilter &filter)
{
    auto counts = runs::qualityCounts(records, filter);
    if (!counts)
        return counts.failure();
    Quality quality;
    quality.filter = filter;

    std::map<std::pair<QString, QString>, Cell> cells;
    const auto cellOf = [&cells](const QString &week, const QString &station) -> Cell & {
        Cell &cell = cells[{week, station}];
        cell.week = week;
        cell.station = station;
        return cell;
    };
    for (const runs::WeekCounts &week : counts->weeks) {
        Cell &cell = cellOf(week.week, week.station);
        cell.runs = week.runs;
        cell.withoutSerial = week.withoutSerial;
        cell.passed = week.passed;
        cell.lenses = week.lenses;
    }
    for (const runs::CohortCounts &cohort : counts->cohorts) {
        Cell &cell = cellOf(cohort.week, cohort.station);
        cell.newLenses = cohort.lenses;
        cell.firstPass = cohort.firstPass;
        cell.finalPass = cohort.finalPass;
    }
    for (auto &[key, cell] : cells) {
        addInto(quality.total, cell);
        quality.cells.push_back(std::move(cell));
    }
    quality.total.lenses = counts->lenses;

    for (const runs::AxisTestCounts &failures : counts->axisTests)
        quality.byAxisAndTest.push_back(
            {runs::axisName(failures.axis), failures.tests, failures.failedRuns, failures.errors});
    std::stable_sort(quality.byAxisAndTest.begin(), quality.byAxisAndTest.end(),
                     [](const AxisTestFailures &a, const AxisTestFailures &b) {
                         return std::tie(b.failedRuns, b.errors) < std::tie(a.failedRuns, a.errors);
                     });
    addShares(quality.byAxisAndTest, &AxisTestFailures::failedRuns);

    for (const runs::EndingCounts &ending : counts->endings)
        quality.byEnding.push_back({runs::endingText(ending.ending), ending.runs, ending.failed});
    std::stable_sort(quality.byEnding.begin(), quality.byEnding.end(),
                     [](const EndingFailures &a, const EndingFailures &b) {
                         return std::tie(b.failed, b.runs) < std::tie(a.failed, a.runs);
                     });
    addShares(quality.byEnding, &EndingFailures::failed);
    return quality;
}

std::vector<Cell> weeklyYield(const Quality &quality)
{
    std::vector<Cell> weeks;
    for (const Cell &cell : quality.cells) {
        if (weeks.empty() || weeks.back().week != cell.week) {
            weeks.emplace_back();
            weeks.back().week = cell.week;
        }
        addInto(weeks.back(), cell);
    }
    return weeks;
}

} // namespace quality
