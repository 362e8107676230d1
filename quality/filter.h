#pragma once

#include "base/result.h"
#include "runs/runfilter.h"

#include <QString>

#include <functional>

namespace quality {

// The filters of a run list from name/value pairs, as a page's address or the command line
// gives them: serial, station, operator (as they are), verdict (pass or fail), since and until
// (YYYY-MM-DD, local days, both included; a moment in ISO 8601 is taken as it is). A name not
// given reads as an empty value. A value that does not read fails with a text that names it:
// "since: '2026-13-40' is not a date YYYY-MM-DD".
base::Result<runs::RunFilter> readFilter(const std::function<QString(const QString &key)> &value);

// The filter's pairs again, only those set, in the order above: for links that keep the filter.
std::vector<std::pair<QString, QString>> filterPairs(const runs::RunFilter &filter);

} // namespace quality
