// The queries behind the run pages and the quality figures. Each sums up in the database and
// leaves the logs where they are, so a year of a plant's runs is read in a few scans.
#include "runqueries.h"

#include "rundatabase.h"
#include "schema.h"

#include <QSqlQuery>
#include <QVariant>

#include <functional>
#include <map>

namespace runs {

namespace {

using Where = FilterSql;

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

} // namespace

QString FilterSql::sql() const
{
    return terms.join(QStringLiteral(" AND "));
}

void FilterSql::bind(QSqlQuery &query) const
{
    for (const auto &[name, value] : values)
        query.bindValue(name, value);
}

FilterSql filterSql(const RunFilter &filter, const QString &table)
{
    FilterSql where;
    const QString column = table.isEmpty() ? QString() : table + u'.';
    const auto add = [&](const QString &term, const char *name, const QVariant &value) {
        const QString mark = u':' + table + QLatin1String(name);
        where.terms << QString(term).arg(column, mark);
        where.values.emplace_back(mark, value);
    };
    if (!filter.serial.isEmpty())
        add(QStringLiteral("%1serial = %2"), "serial", filter.serial);
    if (!filter.station.isEmpty())
        add(QStringLiteral("%1station = %2"), "station", filter.station);
    if (!filter.operatorName.isEmpty())
        add(QStringLiteral("%1operator = %2"), "operator", filter.operatorName);
    if (filter.since.isValid())
        add(QStringLiteral("%1started >= %2"), "since", storedTime(filter.since));
    if (filter.until.isValid())
        add(QStringLiteral("%1started < %2"), "until", storedTime(filter.until));
    if (filter.verdict == Verdict::Pass)
        where.terms << column + QStringLiteral("errors = 0");
    else if (filter.verdict == Verdict::Fail)
        where.terms << column + QStringLiteral("errors > 0");
    return where;
}

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

base::Result<RunPage> RunDatabase::page(const RunFilter &filter, int page, int perPage)
{
    if (page < 1 || perPage < 1)
        return base::fail(base::FailureKind::InvalidInput,
                          QStringLiteral("page %1 of %2 runs each: pages count from 1")
                              .arg(page)
                              .arg(perPage)
                              .toStdString());
    const Where where = filterSql(filter);
    QSqlQuery count(db());
    count.prepare(QStringLiteral("SELECT count(*) FROM runs WHERE %1").arg(where.sql()));
    where.bind(count);
    if (!count.exec() || !count.next())
        return failure(QStringLiteral("cannot read the run records"), count);
    RunPage found;
    found.total = number(count, 0);
    count.finish();
    const qint64 skip = qint64{page - 1} * perPage;
    if (skip >= found.total)
        return found;

    // The page's ids first, from the index alone; only then its rows: a deep page does not
    // read every row before it.
    QStringList columns = summaryColumns().split(u',');
    for (QString &column : columns)
        column.prepend(QStringLiteral("r."));
    QSqlQuery query(db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM runs r JOIN (SELECT id, started FROM runs WHERE "
                                 "%2 ORDER BY started DESC, id DESC LIMIT %3 OFFSET %4) p ON "
                                 "p.id = r.id ORDER BY p.started DESC, p.id DESC")
                      .arg(columns.join(u','), where.sql())
                      .arg(perPage)
                      .arg(skip));
    where.bind(query);
    if (!query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    while (query.next()) {
        auto record = readRecord(query, false);
        if (!record)
            return record.failure();
        found.runs.push_back(std::move(*record));
    }
    return found;
}

base::Result<std::vector<RunRecord>> RunDatabase::lastRunPerStation()
{
    // The stations one by one along the (station, started) index, and the newest run of each:
    // a few steps per station, however many runs there are.
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("WITH RECURSIVE stations(name) AS (SELECT min(station) FROM "
                                   "runs UNION ALL SELECT (SELECT min(station) FROM runs WHERE "
                                   "station > name) FROM stations WHERE name IS NOT NULL) SELECT "
                                   "%1 FROM runs WHERE id IN (SELECT (SELECT id FROM runs r "
                                   "WHERE r.station = stations.name ORDER BY r.started DESC, r.id "
                                   "DESC LIMIT 1) FROM stations WHERE name IS NOT NULL) ORDER BY "
                                   "station")
                        .arg(summaryColumns())))
        return failure(QStringLiteral("cannot read the run records"), query);
    std::vector<RunRecord> last;
    while (query.next()) {
        auto record = readRecord(query, false);
        if (!record)
            return record.failure();
        last.push_back(std::move(*record));
    }
    return last;
}

base::Result<QString> RunDatabase::changeMark()
{
    QSqlQuery query(db());
    if (!query.exec(QStringLiteral("SELECT count(*), max(started), sum(revision) FROM runs")) ||
        !query.next())
        return failure(QStringLiteral("cannot read the run records"), query);
    return query.value(0).toString() + u'|' + query.value(1).toString() + u'|' +
           query.value(2).toString();
}

base::Result<QualityCounts> RunDatabase::qualityCounts(const RunFilter &filter)
{
    QualityCounts counts;
    const Where where = filterSql(filter);
    const auto run = [this](QSqlQuery &query, const QString &sql, const Where &values,
                            const std::function<void(const QSqlQuery &)> &row) -> base::Status {
        query.setForwardOnly(true);
        query.prepare(sql);
        values.bind(query);
        if (!query.exec())
            return failure(QStringLiteral("cannot sum up the run records"), query);
        while (query.next())
            row(query);
        return {};
    };

    // The weeks the runs fall into.
    QSqlQuery range(db());
    QDateTime first, last;
    if (auto done = run(range,
                        QStringLiteral("SELECT min(started), max(started) FROM runs WHERE %1 AND "
                                       "started <> ''")
                            .arg(where.sql()),
                        where,
                        [&](const QSqlQuery &row) {
                            first = timeFromStored(row.value(0).toString());
                            last = timeFromStored(row.value(1).toString());
                        });
        !done)
        return done.failure();
    range.finish();
    const std::vector<QDateTime> borders = weekBorders(first, last);

    QSqlQuery weeks(db());
    if (auto done = run(
            weeks,
            QStringLiteral("SELECT %1 AS week, station, count(*), sum(CASE WHEN serial = '' THEN 1 "
                           "ELSE 0 END), sum(CASE WHEN errors = 0 THEN 1 ELSE 0 END), "
                           "count(DISTINCT NULLIF(serial, '')) FROM runs WHERE %2 GROUP BY 1, 2 "
                           "ORDER BY 1, 2")
                .arg(weekCase(QStringLiteral("started"), borders), where.sql()),
            where,
            [&](const QSqlQuery &row) {
                counts.weeks.push_back({row.value(0).toString(), row.value(1).toString(),
                                        number(row, 2), number(row, 3), number(row, 4),
                                        number(row, 5)});
            });
        !done)
        return done.failure();
    weeks.finish();

    // Each lens with a run in the filter: its first and latest run, from all of its runs (before
    // `until`), in one pass along the (serial, started) index. The lens counts where its first
    // run is, when that run passes the filter.
    const Where firstRun = filterSql(filter, QStringLiteral("f"));
    QStringList lensTerms{
        QStringLiteral("serial <> ''"),
        QStringLiteral("serial IN (SELECT serial FROM runs WHERE %1)").arg(where.sql())};
    Where values = where;
    if (filter.until.isValid()) {
        lensTerms << QStringLiteral("started < :lensuntil");
        values.values.emplace_back(QStringLiteral(":lensuntil"), storedTime(filter.until));
    }
    values.values.insert(values.values.end(), firstRun.values.begin(), firstRun.values.end());
    QSqlQuery cohorts(db());
    if (auto done = run(
            cohorts,
            QStringLiteral(
                "SELECT week, station, count(*), sum(counted), sum(counted * passed), "
                "sum(counted * latest_passed) FROM (SELECT %1 AS week, f.station, CASE WHEN %3 "
                "THEN 1 ELSE 0 END AS counted, CASE WHEN f.errors = 0 THEN 1 ELSE 0 END AS passed, "
                "CASE WHEN f.latest = 0 THEN 1 ELSE 0 END AS latest_passed FROM (SELECT serial, "
                "station, operator, started, errors, row_number() OVER lens AS n, "
                "last_value(errors) OVER (lens ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED "
                "FOLLOWING) AS latest FROM runs WHERE %2 WINDOW lens AS (PARTITION BY serial "
                "ORDER BY started, id)) f WHERE f.n = 1) c GROUP BY 1, 2 ORDER BY 1, 2")
                .arg(weekCase(QStringLiteral("f.started"), borders),
                     lensTerms.join(QStringLiteral(" AND ")), firstRun.sql()),
            values,
            [&](const QSqlQuery &row) {
                // Every lens with a run in the filter is here once; those whose first run
                // passes it make the cells.
                counts.lenses += number(row, 2);
                if (number(row, 3) > 0)
                    counts.cohorts.push_back({row.value(0).toString(), row.value(1).toString(),
                                              number(row, 3), number(row, 4), number(row, 5)});
            });
        !done)
        return done.failure();
    cohorts.finish();

    // The failures by the tests run and how the run ended, split by axis here.
    QString axes;
    for (const char *axis : schema::kAxisColumns)
        axes += QStringLiteral(", sum(CASE WHEN %1_errors > 0 THEN 1 ELSE 0 END), sum(%1_errors)")
                    .arg(QLatin1String(axis));
    std::map<std::pair<int, QString>, AxisTestCounts> byAxisTest;
    std::map<QString, EndingCounts> byEnding;
    QSqlQuery failures(db());
    if (auto done = run(
            failures,
            QStringLiteral("SELECT tests, ending, count(*), sum(CASE WHEN errors > 0 THEN 1 ELSE 0 "
                           "END)%1 FROM runs WHERE %2 GROUP BY tests, ending")
                .arg(axes, where.sql()),
            where,
            [&](const QSqlQuery &row) {
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
        !done)
        return done.failure();
    for (auto &[key, cell] : byAxisTest)
        if (cell.failedRuns > 0)
            counts.axisTests.push_back(cell);
    for (auto &[key, end] : byEnding)
        counts.endings.push_back(end);
    return counts;
}

} // namespace runs
