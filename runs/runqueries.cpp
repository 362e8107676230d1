// The sums behind the quality figures. Each query sums up in the database and leaves the logs
// where they are, so a year of a plant's runs is read in a few scans.
#include "runqueries.h"

#include "rundatabase.h"
#include "schema.h"

#include "runin/verdict.h"

#include <QSqlQuery>
#include <QVariant>

#include <functional>
#include <map>

namespace runs {

namespace {

// The ISO week of `column` as CASEs over the local Mondays in between, halving the weeks at each
// step: the database knows nothing of the station's time zone, and this is the same on SQLite
// and PostgreSQL.
QString weekSearch(const QString &column, const std::vector<QDateTime> &borders, std::size_t from,
                   std::size_t to)
{
    if (to - from == 1)
        return u'\'' + isoWeek(borders.at(from)) + u'\'';
    const std::size_t middle = (from + to) / 2;
    return QStringLiteral("CASE WHEN %1 < '%2' THEN %3 ELSE %4 END")
        .arg(column, storedTime(borders.at(middle)), weekSearch(column, borders, from, middle),
             weekSearch(column, borders, middle, to));
}

QString weekCase(const QString &column, const std::vector<QDateTime> &borders)
{
    if (borders.size() < 2)
        return QStringLiteral("'unknown'");
    return QStringLiteral("CASE WHEN %1 = '' THEN 'unknown' ELSE %2 END")
        .arg(column, weekSearch(column, borders, 0, borders.size() - 1));
}

int number(const QSqlQuery &query, int column)
{
    return query.value(column).toInt();
}

// 1 for a run whose `errors` count passes, else 0; summed, the runs that passed.
QString passedCase(const QString &errors)
{
    return QStringLiteral("CASE WHEN %1 THEN 1 ELSE 0 END").arg(runin::passesSql(errors));
}

QString failedCase(const QString &errors)
{
    return QStringLiteral("CASE WHEN %1 THEN 1 ELSE 0 END").arg(runin::failsSql(errors));
}

// Runs `sql` with the values of `marks` and hands each row on.
base::Status eachRow(RunDatabase &database, const QString &sql, const FilterSql &marks,
                     const std::function<void(const QSqlQuery &)> &row)
{
    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    const bool prepared = query.prepare(sql);
    marks.bind(query);
    if (!prepared || !query.exec())
        return database.failure(QStringLiteral("cannot sum up the run records"), query);
    while (query.next())
        row(query);
    return {};
}

// The borders of the weeks the runs fall into.
base::Result<std::vector<QDateTime>> weeksOf(RunDatabase &database, const FilterSql &where)
{
    QDateTime first, last;
    if (auto done = eachRow(database,
                            QStringLiteral("SELECT min(started), max(started) FROM runs WHERE %1 "
                                           "AND started <> ''")
                                .arg(where.sql()),
                            where,
                            [&](const QSqlQuery &row) {
                                first = timeFromStored(row.value(0).toString());
                                last = timeFromStored(row.value(1).toString());
                            });
        !done)
        return done.failure();
    return weekBorders(first, last);
}

base::Status sumWeeks(RunDatabase &database, const FilterSql &where,
                      const std::vector<QDateTime> &borders, QualityCounts &counts)
{
    return eachRow(
        database,
        QStringLiteral("SELECT %1 AS week, station, count(*), sum(CASE WHEN serial = '' THEN 1 "
                       "ELSE 0 END), sum(%3), count(DISTINCT NULLIF(serial, '')) FROM runs WHERE "
                       "%2 GROUP BY 1, 2 ORDER BY 1, 2")
            .arg(weekCase(QStringLiteral("started"), borders), where.sql(),
                 passedCase(QStringLiteral("errors"))),
        where, [&](const QSqlQuery &row) {
            counts.weeks.push_back({row.value(0).toString(), row.value(1).toString(),
                                    number(row, 2), number(row, 3), number(row, 4),
                                    number(row, 5)});
        });
}

// Each lens with a run in the filter: its first and latest run, from all of its runs (before
// `until`), in one pass along the (serial, started) index. The lens counts where its first run
// is, when that run passes the filter.
base::Status sumCohorts(RunDatabase &database, const RunFilter &filter, const FilterSql &where,
                        const std::vector<QDateTime> &borders, QualityCounts &counts)
{
    const FilterSql firstRun = filterSql(filter, QStringLiteral("f"));
    QStringList lensTerms{
        QStringLiteral("serial <> ''"),
        QStringLiteral("serial IN (SELECT serial FROM runs WHERE %1)").arg(where.sql())};
    FilterSql marks = where;
    if (filter.until.isValid()) {
        lensTerms << QStringLiteral("started < :lensuntil");
        marks.values.emplace_back(QStringLiteral(":lensuntil"), storedTime(filter.until));
    }
    marks.values.insert(marks.values.end(), firstRun.values.begin(), firstRun.values.end());
    return eachRow(
        database,
        QStringLiteral(
            "SELECT week, station, count(*), sum(counted), sum(counted * passed), "
            "sum(counted * latest_passed) FROM (SELECT %1 AS week, f.station, CASE WHEN %3 "
            "THEN 1 ELSE 0 END AS counted, %4 AS passed, %5 AS latest_passed FROM (SELECT serial, "
            "station, operator, started, errors, tests, ending, zoom1_errors, zoom2_errors, "
            "iris_errors, focus_errors, row_number() OVER lens AS n, "
            "last_value(errors) OVER (lens ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED "
            "FOLLOWING) AS latest FROM runs WHERE %2 WINDOW lens AS (PARTITION BY serial "
            "ORDER BY started, id)) f WHERE f.n = 1) c GROUP BY 1, 2 ORDER BY 1, 2")
            .arg(weekCase(QStringLiteral("f.started"), borders),
                 lensTerms.join(QStringLiteral(" AND ")), firstRun.sql(),
                 passedCase(QStringLiteral("f.errors")), passedCase(QStringLiteral("f.latest"))),
        marks, [&](const QSqlQuery &row) {
            // Every lens with a run in the filter is here once; those whose first run passes it
            // make the cells.
            counts.lenses += number(row, 2);
            if (number(row, 3) > 0)
                counts.cohorts.push_back({row.value(0).toString(), row.value(1).toString(),
                                          number(row, 3), number(row, 4), number(row, 5)});
        });
}

// The failures by the tests run and how the run ended, split by axis here.
base::Status sumFailures(RunDatabase &database, const FilterSql &where, QualityCounts &counts)
{
    QString axes;
    for (const char *axis : schema::kAxisColumns) {
        const QString errors = QLatin1String(axis) + QStringLiteral("_errors");
        axes += QStringLiteral(", sum(%1), sum(%2)").arg(failedCase(errors), errors);
    }
    std::map<std::pair<int, QString>, AxisTestCounts> byAxisTest;
    std::map<QString, EndingCounts> byEnding;
    auto done = eachRow(
        database,
        QStringLiteral("SELECT tests, ending, count(*), sum(%3)%1 FROM runs WHERE %2 GROUP BY "
                       "tests, ending")
            .arg(axes, where.sql(), failedCase(QStringLiteral("errors"))),
        where, [&](const QSqlQuery &row) {
            const QString tests = row.value(0).toString();
            const QString ending = row.value(1).toString();
            EndingCounts &end = byEnding[ending];
            end.ending = endingFromText(ending).value_or(runin::RunEnding::Unknown);
            end.runs += number(row, 2);
            end.failed += number(row, 3);
            for (int axis = 0; axis < kAxisCount; ++axis) {
                AxisTestCounts &cell = byAxisTest[{axis, tests}];
                cell.axis = axis;
                cell.tests = tests;
                cell.failedRuns += number(row, 4 + 2 * axis);
                cell.errors += number(row, 5 + 2 * axis);
            }
        });
    for (auto &[key, cell] : byAxisTest)
        if (cell.failedRuns > 0)
            counts.axisTests.push_back(cell);
    for (auto &[key, end] : byEnding)
        counts.endings.push_back(end);
    return done;
}

} // namespace

QString isoWeek(const QDateTime &start)
{
    if (!start.isValid())
        return QStringLiteral("unknown");
    int year = 0;
    const int week = start.toLocalTime().date().weekNumber(&year);
    return QStringLiteral("%1-W%2").arg(year).arg(week, 2, 10, QLatin1Char('0'));
}

std::vector<QDateTime> weekBorders(const QDateTime &from, const QDateTime &to)
{
    std::vector<QDateTime> borders;
    if (!from.isValid() || !to.isValid() || to < from)
        return borders;
    const QDate first = from.toLocalTime().date();
    QDate monday = first.addDays(1 - first.dayOfWeek());
    do {
        borders.push_back(monday.startOfDay());
        monday = monday.addDays(7);
    } while (borders.back() <= to);
    return borders;
}

base::Result<QualityCounts> qualityCounts(RunDatabase &database, const RunFilter &filter)
{
    QualityCounts counts;
    const FilterSql where = filterSql(filter);
    const auto borders = weeksOf(database, where);
    if (!borders)
        return borders.failure();
    if (auto done = sumWeeks(database, where, *borders, counts); !done)
        return done.failure();
    if (auto done = sumCohorts(database, filter, where, *borders, counts); !done)
        return done.failure();
    if (auto done = sumFailures(database, where, counts); !done)
        return done.failure();
    return counts;
}

} // namespace runs
