#pragma once

#include "base/result.h"
#include "runs/progress.h"
#include "runs/rundatabase.h"
#include "runs/runfilter.h"

#include <vector>

// What the pages read from the records, in one place: a page of runs, every run of a filter, each
// station's latest run and its run under way.
namespace plant {

// Newest first, without logs, with the filter's total.
base::Result<runs::RunPage> runPage(runs::RunDatabase &records, const runs::RunFilter &filter,
                                    int page, int perPage);
// Every run of the filter, oldest first, without logs.
base::Result<std::vector<runs::RunRecord>> runsOf(runs::RunDatabase &records,
                                                  const runs::RunFilter &filter);
// Each station's newest run, by station.
base::Result<std::vector<runs::RunRecord>> lastRuns(runs::RunDatabase &records);
// Each station's latest progress snapshot.
base::Result<std::vector<runs::RunProgress>> liveRuns(runs::RunDatabase &records);

// Whether a run passed: no error above the running-in test's threshold.
bool passed(const runs::RunRecord &run);

} // namespace plant
