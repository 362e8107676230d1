// The sums behind the quality figures. Each query sums up in the database and leaves the logs
// where they are, so a year of a plant's runs is read in a few scans.
#include "runqueries.h"

#include "rundatabase.h"
#include "runsummary.h"
#include "schema.h"

#include "runin/verdict.h"

#include <QSqlQuery>
#include <QVariant>

#include <QTimeZone>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

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

// The failures by the tests run and how the run ended, split by axis here. `sums` are the runs,
// the failed runs, then each axis's failed runs and its errors, summed over `table`.
base::Status sumFailures(RunDatabase &database, const QString &sums, const QString &table,
                         const FilterSql &where, QualityCounts &counts)
{
    std::map<std::pair<int, QString>, AxisTestCounts> byAxisTest;
    std::map<QString, EndingCounts> byEnding;
    auto done =
        eachRow(database,
                QStringLiteral("SELECT tests, ending, %1 FROM %2 WHERE %3 GROUP BY tests, ending")
                    .arg(sums, table, where.sql()),
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

base::Result<QualityCounts> scanned(RunDatabase &database, const RunFilter &filter)
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
    QString sums = QStringLiteral("count(*), sum(%1)").arg(failedCase(QStringLiteral("errors")));
    for (const char *axis : schema::kAxisColumns) {
        const QString errors = QLatin1String(axis) + QStringLiteral("_errors");
        sums += QStringLiteral(", sum(%1), sum(%2)").arg(failedCase(errors), errors);
    }
    if (auto done = sumFailures(database, sums, QStringLiteral("runs"), where, counts); !done)
        return done.failure();
    return counts;
}

// The same sums from the summary, for a filter it answers (summary::answers): the days of the
// summary's zone stand for since and until.
base::Result<QualityCounts> summed(RunDatabase &database, const RunFilter &filter,
                                   const QTimeZone &zone)
{
    QualityCounts counts;
    FilterSql where;
    if (!filter.station.isEmpty()) {
        where.terms << QStringLiteral("station = :station");
        where.values.emplace_back(QStringLiteral(":station"), filter.station);
    }
    for (const auto &[time, term, mark] : {std::tuple(filter.since, "day >= %1", ":sinceday"),
                                           std::tuple(filter.until, "day < %1", ":untilday")})
        if (time.isValid()) {
            where.terms << QString::fromLatin1(term).arg(QLatin1String(mark));
            where.values.emplace_back(QLatin1String(mark), summary::dayOf(time, zone));
        }

    std::map<std::pair<QString, QString>, WeekCounts> weeks;
    if (auto done = eachRow(database,
                            QStringLiteral("SELECT week, station, sum(runs), sum(without_serial), "
                                           "sum(passed) FROM run_days WHERE %1 GROUP BY week, "
                                           "station")
                                .arg(where.sql()),
                            where,
                            [&](const QSqlQuery &row) {
                                weeks[{row.value(0).toString(), row.value(1).toString()}] = {
                                    row.value(0).toString(), row.value(1).toString(),
                                    number(row, 2), number(row, 3), number(row, 4)};
                            });
        !done)
        return done.failure();
    // The distinct lenses of whole weeks as they are kept; of a week that since or until cuts,
    // from its days.
    QStringList cut;
    const QString sinceDay = summary::dayOf(filter.since, zone);
    const QString untilDay = summary::dayOf(filter.until, zone);
    for (const QString &day : {sinceDay, untilDay})
        if (!day.isEmpty() && QDate::fromString(day, Qt::ISODate).dayOfWeek() != 1)
            cut << isoWeek(QDate::fromString(day, Qt::ISODate));
    FilterSql cutWeeks = where;
    cutWeeks.terms << QStringLiteral("week IN (:cutweek0, :cutweek1)");
    cutWeeks.values.emplace_back(QStringLiteral(":cutweek0"), cut.value(0, QStringLiteral("-")));
    cutWeeks.values.emplace_back(QStringLiteral(":cutweek1"), cut.value(1, QStringLiteral("-")));
    FilterSql stationOnly;
    if (!filter.station.isEmpty()) {
        stationOnly.terms << QStringLiteral("station = :station");
        stationOnly.values.emplace_back(QStringLiteral(":station"), filter.station);
    }
    const auto takeLenses = [&](bool whole) {
        return [&weeks, &cut, whole](const QSqlQuery &row) {
            const QString week = row.value(0).toString();
            const auto found = weeks.find({week, row.value(1).toString()});
            if (found != weeks.end() && whole != cut.contains(week))
                found->second.lenses = number(row, 2);
        };
    };
    if (auto done = eachRow(database,
                            QStringLiteral("SELECT week, station, lenses FROM week_lenses WHERE %1")
                                .arg(stationOnly.sql()),
                            stationOnly, takeLenses(true));
        !done)
        return done.failure();
    if (auto done = eachRow(database,
                            QStringLiteral("SELECT week, station, count(DISTINCT serial) FROM "
                                           "lens_days WHERE %1 GROUP BY week, station")
                                .arg(cutWeeks.sql()),
                            cutWeeks, takeLenses(false));
        !done)
        return done.failure();
    for (auto &[key, week] : weeks)
        counts.weeks.push_back(week);

    // Each lens with a run in the filter; it counts where its first run was, when that run is in
    // the filter. Its latest run before `until` is its latest, unless it ran again since.
    // Without a station, a lens ran since `since` when its latest run did, and before `until`
    // when its first did; else its days say so.
    QStringList counted{QStringLiteral("1 = 1")};
    QString ran = QStringLiteral("1 = 1");
    FilterSql marks;
    if (!filter.station.isEmpty() || (filter.since.isValid() && filter.until.isValid())) {
        ran = QStringLiteral("serial IN (SELECT serial FROM lens_days WHERE %1)").arg(where.sql());
        marks = where;
    } else if (filter.since.isValid()) {
        ran = QStringLiteral("latest_started >= :since");
    } else if (filter.until.isValid()) {
        ran = QStringLiteral("first_started < :until");
    }
    if (!filter.station.isEmpty())
        counted << QStringLiteral("first_station = :station");
    if (filter.since.isValid()) {
        counted << QStringLiteral("first_started >= :since");
        marks.values.emplace_back(QStringLiteral(":since"), storedTime(filter.since));
    }
    QString latest = QStringLiteral("latest_errors");
    if (filter.until.isValid()) {
        latest = QStringLiteral("CASE WHEN latest_started < :until THEN latest_errors ELSE (SELECT "
                                "r.errors FROM runs r WHERE r.serial = l.serial AND r.started < "
                                ":until ORDER BY r.started DESC, r.id DESC LIMIT 1) END");
        marks.values.emplace_back(QStringLiteral(":until"), storedTime(filter.until));
    }
    if (auto done = eachRow(
            database,
            QStringLiteral(
                "SELECT first_week, first_station, count(*), sum(counted), sum(counted "
                "* passed), sum(counted * latest_passed) FROM (SELECT first_week, "
                "first_station, CASE WHEN %2 THEN 1 ELSE 0 END AS counted, %3 AS passed, "
                "%4 AS latest_passed FROM lenses l WHERE %1) c GROUP BY 1, 2")
                .arg(ran, counted.join(QStringLiteral(" AND ")),
                     passedCase(QStringLiteral("first_errors")), passedCase(latest)),
            marks,
            [&](const QSqlQuery &row) {
                counts.lenses += number(row, 2);
                if (number(row, 3) > 0)
                    counts.cohorts.push_back({row.value(0).toString(), row.value(1).toString(),
                                              number(row, 3), number(row, 4), number(row, 5)});
            });
        !done)
        return done.failure();

    QString sums = QStringLiteral("sum(runs), sum(failed)");
    for (const char *axis : schema::kAxisColumns)
        sums += QStringLiteral(", sum(%1_failed), sum(%1_errors)").arg(QLatin1String(axis));
    if (auto done = sumFailures(database, sums, QStringLiteral("run_days"), where, counts); !done)
        return done.failure();
    return counts;
}

} // namespace

QString isoWeek(const QDateTime &start)
{
    return start.isValid() ? isoWeek(start.toLocalTime().date()) : QStringLiteral("unknown");
}

QString isoWeek(const QDate &day)
{
    int year = 0;
    const int week = day.weekNumber(&year);
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

base::Result<std::optional<QualityCounts>> qualityCounts(RunDatabase &database,
                                                         const RunFilter &filter, Source source)
{
    std::optional<QualityCounts> counts;
    if (source != Source::Scan) {
        auto zone = summary::zone(database);
        if (!zone)
            return zone.failure();
        const QTimeZone cut(zone->toLatin1());
        if (!zone->isEmpty() && zone->toLatin1() == QTimeZone::systemTimeZoneId() &&
            summary::answers(filter, cut)) {
            auto sums = summed(database, filter, cut);
            if (!sums)
                return sums.failure();
            counts = std::move(*sums);
        }
    }
    if (!counts && source != Source::Summary) {
        auto sums = scanned(database, filter);
        if (!sums)
            return sums.failure();
        counts = std::move(*sums);
    }
    if (counts) { // in one order, whichever way they were summed
        const auto byWeek = [](const auto &a, const auto &b) {
            return std::tie(a.week, a.station) < std::tie(b.week, b.station);
        };
        std::sort(counts->weeks.begin(), counts->weeks.end(), byWeek);
        std::sort(counts->cohorts.begin(), counts->cohorts.end(), byWeek);
    }
    return counts;
}

base::Result<QualityCounts> qualityCounts(RunDatabase &database, const RunFilter &filter)
{
    auto counts = qualityCounts(database, filter, Source::Best);
    if (!counts)
        return counts.failure();
    return std::move(**counts);
}

} // namespace runs
