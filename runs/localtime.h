#pragma once

#include <QDateTime>
#include <QString>

namespace runs {

// A time of the records as its reader sees it, in the machine's own zone:
// "2026-12-05 14:03:07", or "unknown" when the time is not known.
QString localTime(const QDateTime &utc);

} // namespace runs
