#pragma once

#include "runfilter.h"
#include "runrecord.h"

#include "base/result.h"

#include <QString>
#include <QTimeZone>

#include <array>
#include <optional>

namespace runs {
class RunDatabase;
}

// The summary behind the quality figures, kept up to date in the transaction of every write of a
// run, so that a year's figures are read from a few thousand rows instead of every run:
//   run_days   per local start day, station, tests and ending: the runs, those without a serial,
//              passed and failed, and per axis the failed runs and their errors;
//   lens_days  per local start day, station and serial: the lens's runs there;
//   week_lenses per ISO week and station: the distinct lenses run there;
//   lenses     per serial: its first run (start, week, station, errors) and its latest.
// The days are cut in one time zone, the summary's own (summary_zone): the zone of the program
// that made it, whichever zone a later writer is in. A reader in another zone, or with a filter
// the summary cannot answer exactly, sums up the runs themselves (runqueries.h).
namespace runs::summary {

// A run's columns as the summary counts them.
struct Counted
{
    QString station, started, tests, ending, serial;
    int errors = 0;
    std::array<int, kAxisCount> axisErrors{};

    bool operator==(const Counted &) const = default;
};

// The stored run with this whole id as the summary counts it; none when there is none.
base::Result<std::optional<Counted>> read(RunDatabase &database, const QString &id);

// Takes a run's change from `before` to `after` (none: not stored) into the summary; in the
// transaction of the write.
base::Status change(RunDatabase &database, const std::optional<Counted> &before,
                    const std::optional<Counted> &after);

// Makes the summary afresh from the runs, its days cut in this program's time zone.
base::Status rebuild(RunDatabase &database);

// The zone the summary's days are cut in; empty when it is kept by none.
base::Result<QString> zone(RunDatabase &database);

// Whether the summary, its days cut in `zone`, gives the figures of this filter exactly: a
// station, and since and until on the borders of its days; any other field is for a scan.
bool answers(const RunFilter &filter, const QTimeZone &zone);

// "2026-12-01": the day of a stored start in `zone`; empty for an unknown start.
QString dayOf(const QDateTime &start, const QTimeZone &zone);

} // namespace runs::summary
