#pragma once

#include "base/result.h"
#include "runs/runfilter.h"

#include <QString>

#include <optional>
#include <vector>

namespace runs {
class RunDatabase;
}

// The running-in quality figures of a plant or a station: per ISO week (of the local day a run
// started) and per station, the runs and the lenses, the first-pass and final yields; and the
// failures in order of their count (a Pareto), by axis and test and by how the run ended.
namespace quality {

struct Cell
{
    QString week;    // "2026-W49"
    QString station; // empty in the totals
    int runs = 0;
    int withoutSerial = 0; // runs without a lens serial: in `runs`, in no yield
    int passed = 0;        // runs without an error above the threshold
    int lenses = 0;        // distinct serials run here (not summed in the totals)
    // The lenses whose first run was here: the yields' base. A lens's first run is its first
    // in the records, filters or not; its latest is its latest before `until`.
    int newLenses = 0;
    int firstPass = 0;
    int finalPass = 0;

    [[nodiscard]] std::optional<double> firstPassYield() const; // percent; none without lenses
    [[nodiscard]] std::optional<double> finalYield() const;
};

struct AxisTestFailures
{
    QString axis; // "Zoom 1"
    QString tests;
    int failedRuns = 0; // runs with an error above the threshold on this axis
    int errors = 0;
    double share = 0;      // percent of all such failures
    double cumulative = 0; // percent, down the list
};

struct EndingFailures
{
    QString ending; // "stopped by ABORT"
    int runs = 0;
    int failed = 0; // of them with an error above the threshold
    double share = 0;
    double cumulative = 0;
};

struct Quality
{
    runs::RunFilter filter;
    std::vector<Cell> cells;                     // by week, then station
    Cell total;                                  // week and station empty; lenses counted once each
    std::vector<AxisTestFailures> byAxisAndTest; // most failed runs first
    std::vector<EndingFailures> byEnding;        // most failed runs first, then most runs
};

base::Result<Quality> compute(runs::RunDatabase &records, const runs::RunFilter &filter);

// The first-pass yield per week over every station: the history report's.
std::vector<Cell> weeklyYield(const Quality &quality);

} // namespace quality
