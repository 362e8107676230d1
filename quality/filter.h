#pragma once

#include "base/result.h"
#include "runs/lenslist.h"
#include "runs/runfilter.h"

#include <QString>

#include <functional>

namespace quality {

using Values = std::function<QString(const QString &key)>;

// The filters of a run list from name/value pairs, as a page's address or the command line
// gives them: serial (none: the runs without one), station, operator (as they are), verdict
// (pass or fail), since and until (YYYY-MM-DD, local days, both included; a moment in ISO 8601
// is taken as it is), axis (zoom1, zoom2, iris, focus: an error above the threshold on it), tests
// (step, stroke, both), ending (as a run's record has it: "completed", "stopped by ABORT", ...)
// and week ("2026-W49"). A name not given reads as an empty value. A value that does not read
// fails with a text that names it: "since: '2026-13-40' is not a date YYYY-MM-DD".
base::Result<runs::RunFilter> readFilter(const Values &value);

// The filter's pairs again, only those set, in the order above: for links that keep the filter.
std::vector<std::pair<QString, QString>> filterPairs(const runs::RunFilter &filter);

// The same with the lens list's own: first and latest (pass or fail), new=1 and decision=1.
base::Result<runs::LensFilter> readLensFilter(const Values &value);
std::vector<std::pair<QString, QString>> lensFilterPairs(const runs::LensFilter &filter);

// The text a filter takes for the tests as stored ("step" for "Single Step"); empty for none.
QString testsKey(const QString &stored);

} // namespace quality
