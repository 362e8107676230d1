#pragma once

#include "runrecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <utility>
#include <vector>

class QSqlQuery;

namespace runs {

// A run passes when no axis had a position error above the running-in test's threshold.
enum class Verdict { Any, Pass, Fail };

// Which runs a list, a page or the quality figures hold; an empty field does not filter. The
// times are instants (UTC or local, compared as instants): a day given by the user becomes the
// start of that local day for `since` and the start of the next one for `until`, so both days
// are included.
struct RunFilter
{
    QString serial;
    QString station;
    QDateTime since; // runs started at or after it
    QDateTime until; // runs started before it
    QString operatorName;
    Verdict verdict = Verdict::Any;
    int axis = -1;  // 0 Zoom 1 ... 3 Focus: runs with an error above the threshold on it
    QString tests;  // as stored: "Single Step", "Full stroke", "Single Step, Full stroke"
    QString ending; // as stored: "completed", "stopped by ABORT", ...
    QString week;   // "2026-W49": runs started in that ISO week of local days
    bool withoutSerial = false; // only the runs without a lens serial

    bool operator==(const RunFilter &) const = default;
};

// The local Monday a week "2026-W49" begins with and the next one, as instants; none for text
// that names no ISO week.
std::optional<std::pair<QDateTime, QDateTime>> weekBounds(const QString &week);

// One page of runs, newest first, and how many runs the filter holds in all.
struct RunPage
{
    std::vector<RunRecord> runs;
    int total = 0;
};

// A filter as SQL terms over the columns of the runs table (named `table` when given), and the
// values of their marks.
struct FilterSql
{
    QStringList terms{QStringLiteral("1 = 1")};
    std::vector<std::pair<QString, QVariant>> values;

    [[nodiscard]] QString sql() const;
    void bind(QSqlQuery &query) const;
};
FilterSql filterSql(const RunFilter &filter, const QString &table = {});

} // namespace runs
