#include "runsummary.h"

#include "rundatabase.h"
#include "runqueries.h"
#include "schema.h"

#include "runin/verdict.h"

#include <QSqlQuery>
#include <QVariant>

#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace runs::summary {

namespace {

// run_days's sums, in the order of their columns: runs, without_serial, passed, failed, then
// each axis's failed runs and errors.
constexpr int kDaySums = 4 + 2 * kAxisCount;

QStringList daySumColumns()
{
    QStringList columns{"runs", "without_serial", "passed", "failed"};
    for (const char *axis : schema::kAxisColumns)
        columns << QLatin1String(axis) + QLatin1String("_failed")
                << QLatin1String(axis) + QLatin1String("_errors");
    return columns;
}

QString countedColumns()
{
    QStringList columns{"station", "started", "tests", "ending", "serial", "errors"};
    for (const char *axis : schema::kAxisColumns)
        columns << QLatin1String(axis) + QLatin1String("_errors");
    return columns.join(u',');
}

Counted countedFrom(const QSqlQuery &query)
{
    Counted run;
    run.station = storedText(query.value(0).toString());
    run.started = storedText(query.value(1).toString());
    run.tests = storedText(query.value(2).toString());
    run.ending = storedText(query.value(3).toString());
    run.serial = storedText(query.value(4).toString());
    run.errors = query.value(5).toInt();
    for (int axis = 0; axis < kAxisCount; ++axis)
        run.axisErrors.at(static_cast<std::size_t>(axis)) = query.value(6 + axis).toInt();
    return run;
}

// A statement with its values in order, run at once; the query stays on its results.
base::Result<QSqlQuery> run(RunDatabase &database, const QString &sql,
                            const QVariantList &values = {})
{
    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    const bool prepared = query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!prepared || !query.exec())
        return database.failure(QStringLiteral("cannot keep the summary of the run records"),
                                query);
    return query;
}

base::Status exec(RunDatabase &database, const QString &sql, const QVariantList &values = {})
{
    auto done = run(database, sql, values);
    if (!done)
        return done.failure();
    return {};
}

// Rows into `table`, many in one statement; on a row already there `onConflict` decides.
base::Status insert(RunDatabase &database, const QString &table, const QStringList &columns,
                    const std::vector<QVariantList> &rows, const QString &onConflict = {})
{
    constexpr std::size_t kRowsAtOnce = 100;
    const QString marks =
        u'(' + QStringList(static_cast<int>(columns.size()), QStringLiteral("?")).join(u',') + u')';
    for (std::size_t from = 0; from < rows.size(); from += kRowsAtOnce) {
        const std::size_t to = std::min(rows.size(), from + kRowsAtOnce);
        QVariantList values;
        for (std::size_t row = from; row < to; ++row)
            values += rows.at(row);
        if (auto done = run(database,
                            QStringLiteral("INSERT INTO %1 (%2) VALUES %3 %4")
                                .arg(table, columns.join(u','),
                                     QStringList(static_cast<int>(to - from), marks).join(u','),
                                     onConflict),
                            values);
            !done)
            return done.failure();
    }
    return {};
}

// What a change does to run_days and lens_days, row by row.
struct DaySums
{
    QString week;
    std::array<qint64, kDaySums> sums{};
};
struct LensDay
{
    QString week;
    qint64 runs = 0;
};
struct Changes
{
    std::map<std::tuple<QString, QString, QString, QString>, DaySums>
        days; // day, station, tests, ending
    std::map<std::tuple<QString, QString, QString>, LensDay> lensDays; // day, station, serial
};

QString weekOfDay(const QString &day)
{
    return day.isEmpty() ? QStringLiteral("unknown") : isoWeek(QDate::fromString(day, Qt::ISODate));
}

void count(Changes &changes, const Counted &counted, int sign, const QTimeZone &zone)
{
    const QString day = dayOf(timeFromStored(counted.started), zone);
    DaySums &cell = changes.days[{day, counted.station, counted.tests, counted.ending}];
    cell.week = weekOfDay(day);
    const bool passed = runin::passes(counted.errors);
    cell.sums[0] += sign;
    cell.sums[1] += counted.serial.isEmpty() ? sign : 0;
    cell.sums[2] += passed ? sign : 0;
    cell.sums[3] += passed ? 0 : sign;
    for (std::size_t axis = 0; axis < kAxisCount; ++axis) {
        const int errors = counted.axisErrors.at(axis);
        cell.sums.at(4 + 2 * axis) += runin::passes(errors) ? 0 : sign;
        cell.sums.at(5 + 2 * axis) += sign * errors;
    }
    if (!counted.serial.isEmpty()) {
        LensDay &lens = changes.lensDays[{day, counted.station, counted.serial}];
        lens.week = cell.week;
        lens.runs += sign;
    }
}

// The distinct lenses of each week and station whose lens_days changed, counted again. The row
// is taken first: a writer at the same week and station at once waits, then counts this one's.
base::Status recountLenses(RunDatabase &database, const Changes &changes)
{
    std::set<std::pair<QString, QString>> weeks;
    for (const auto &[key, lens] : changes.lensDays)
        if (lens.runs != 0)
            weeks.emplace(lens.week, std::get<1>(key));
    for (const auto &[week, station] : weeks) {
        if (auto locked = insert(database, QStringLiteral("week_lenses"),
                                 {"week", "station", "lenses"}, {{week, station, 0}},
                                 QStringLiteral("ON CONFLICT (week, station) DO UPDATE SET lenses "
                                                "= week_lenses.lenses"));
            !locked)
            return locked;
        if (auto done = exec(database,
                             QStringLiteral("UPDATE week_lenses SET lenses = (SELECT "
                                            "count(DISTINCT serial) FROM lens_days WHERE week = ? "
                                            "AND station = ?) WHERE week = ? AND station = ?"),
                             {week, station, week, station});
            !done)
            return done;
    }
    return {};
}

// Adds the changes to the rows there are, and drops the rows left without a run.
base::Status apply(RunDatabase &database, const Changes &changes)
{
    const QStringList sums = daySumColumns();
    QStringList adds;
    for (const QString &column : sums)
        adds << QStringLiteral("%1 = run_days.%1 + excluded.%1").arg(column);
    std::vector<QVariantList> dayRows, lensRows, emptied;
    for (const auto &[key, cell] : changes.days) {
        if (cell.sums == std::array<qint64, kDaySums>{})
            continue;
        const auto &[day, station, tests, ending] = key;
        QVariantList row{day, cell.week, station, tests, ending};
        for (const qint64 sum : cell.sums)
            row << sum;
        dayRows.push_back(row);
        if (cell.sums[0] < 0)
            emptied.push_back({day, station, tests, ending});
    }
    std::vector<QVariantList> lensesEmptied;
    for (const auto &[key, lens] : changes.lensDays) {
        if (lens.runs == 0)
            continue;
        const auto &[day, station, serial] = key;
        lensRows.push_back({day, lens.week, station, serial, lens.runs});
        if (lens.runs < 0)
            lensesEmptied.push_back({day, station, serial});
    }
    if (auto done = insert(database, QStringLiteral("run_days"),
                           QStringList{"day", "week", "station", "tests", "ending"} + sums, dayRows,
                           QStringLiteral("ON CONFLICT (day, station, tests, ending) DO UPDATE "
                                          "SET ") +
                               adds.join(u','));
        !done)
        return done;
    if (auto done = insert(database, QStringLiteral("lens_days"),
                           {"day", "week", "station", "serial", "runs"}, lensRows,
                           QStringLiteral("ON CONFLICT (week, station, day, serial) DO UPDATE SET "
                                          "runs = lens_days.runs + excluded.runs"));
        !done)
        return done;
    // The rows a change may have left without a run.
    const QString dayEmptied = QStringLiteral(
        "DELETE FROM run_days WHERE day = ? AND station = ? AND tests = ? AND ending = ? AND "
        "runs = 0");
    const QString lensEmptied = QStringLiteral(
        "DELETE FROM lens_days WHERE day = ? AND station = ? AND serial = ? AND runs = 0");
    for (const auto &[sql, keys] :
         {std::pair(&dayEmptied, &emptied), std::pair(&lensEmptied, &lensesEmptied)})
        for (const QVariantList &key : *keys)
            if (auto done = exec(database, *sql, key); !done)
                return done;
    return recountLenses(database, changes);
}

const QStringList kLensColumns{"serial",       "first_started",  "first_week",    "first_station",
                               "first_errors", "latest_started", "latest_errors", "runs",
                               "passed",       "stations"};

// A lens's runs all told: how many, how many passed, at how many stations.
struct LensRuns
{
    int runs = 0, passed = 0;
    std::set<QString> stations;

    void add(const Counted &run)
    {
        ++runs;
        passed += runin::passes(run.errors) ? 1 : 0;
        stations.insert(run.station);
    }
};

QVariantList lensRow(const QString &serial, const Counted &first, const Counted &latest,
                     const LensRuns &all, const QTimeZone &zone)
{
    return {serial,
            first.started,
            weekOfDay(dayOf(timeFromStored(first.started), zone)),
            first.station,
            first.errors,
            latest.started,
            latest.errors,
            all.runs,
            all.passed,
            static_cast<int>(all.stations.size())};
}

// A lens's first and latest run again, from its runs. Its row is taken first: a writer at the
// same lens at once waits, and then sees this one's run.
base::Status refreshLens(RunDatabase &database, const QString &serial, const QTimeZone &zone)
{
    if (auto locked = insert(database, QStringLiteral("lenses"), kLensColumns,
                             {{serial, QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                               0, QStringLiteral(""), 0, 0, 0, 0}},
                             QStringLiteral("ON CONFLICT (serial) DO UPDATE SET first_errors = "
                                            "lenses.first_errors"));
        !locked)
        return locked;
    // Along the serial's index: its runs, oldest first.
    auto found = run(database,
                     QStringLiteral("SELECT %1 FROM runs WHERE serial = ? ORDER BY started, id")
                         .arg(countedColumns()),
                     {serial});
    if (!found)
        return found.failure();
    std::optional<Counted> first, latest;
    LensRuns all;
    while (found->next()) {
        latest = countedFrom(*found);
        if (!first)
            first = latest;
        all.add(*latest);
    }
    found->finish();
    if (!first)
        return exec(database, QStringLiteral("DELETE FROM lenses WHERE serial = ?"), {serial});
    QVariantList row = lensRow(serial, *first, *latest, all, zone);
    row.append(row.takeFirst()); // the serial last, for WHERE
    return exec(database,
                QStringLiteral("UPDATE lenses SET %1 = ? WHERE serial = ?")
                    .arg(kLensColumns.mid(1).join(QStringLiteral(" = ?, "))),
                row);
}

} // namespace

QString dayOf(const QDateTime &start, const QTimeZone &zone)
{
    return start.isValid() ? start.toTimeZone(zone).date().toString(Qt::ISODate)
                           : QStringLiteral("");
}

base::Result<std::optional<Counted>> read(RunDatabase &database, const QString &id)
{
    auto found = run(
        database, QStringLiteral("SELECT %1 FROM runs WHERE id = ?").arg(countedColumns()), {id});
    if (!found)
        return found.failure();
    if (!found->next())
        return std::optional<Counted>();
    return std::optional<Counted>(countedFrom(*found));
}

base::Result<QString> zone(RunDatabase &database)
{
    auto found = run(database, QStringLiteral("SELECT zone FROM summary_zone"));
    if (!found)
        return found.failure();
    return found->next() ? found->value(0).toString() : QString();
}

base::Status change(RunDatabase &database, const std::optional<Counted> &before,
                    const std::optional<Counted> &after)
{
    if (before == after)
        return {};
    if (auto counted =
            exec(database, QStringLiteral("UPDATE summary_zone SET changes = changes + 1"));
        !counted)
        return counted;
    auto id = zone(database);
    if (!id)
        return id.failure();
    if (id->isEmpty())
        return {};
    const QTimeZone cut(id->toLatin1());
    if (!cut.isValid()) // this machine cannot cut the days: nobody reads the summary again
        return exec(database, QStringLiteral("UPDATE summary_zone SET zone = ''"));
    Changes changes;
    QStringList serials;
    for (const auto &[counted, sign] : {std::pair(&before, -1), std::pair(&after, 1)})
        if (*counted) {
            count(changes, **counted, sign, cut);
            if (!(*counted)->serial.isEmpty() && !serials.contains((*counted)->serial))
                serials << (*counted)->serial;
        }
    if (auto done = apply(database, changes); !done)
        return done;
    serials.sort(); // two writers take the lenses in the same order
    for (const QString &serial : serials)
        if (auto done = refreshLens(database, serial, cut); !done)
            return done;
    return {};
}

base::Status rebuild(RunDatabase &database)
{
    QByteArray id = QTimeZone::systemTimeZoneId();
    const QTimeZone cut(id);
    if (!cut.isValid())
        id.clear();
    // The count of changes goes on: figures made before are not taken for these.
    auto past = run(database, QStringLiteral("SELECT max(changes) FROM summary_zone"));
    if (!past)
        return past.failure();
    const qint64 changed = past->next() ? past->value(0).toLongLong() + 1 : 1;
    past->finish();
    for (const char *table : {"summary_zone", "run_days", "lens_days", "week_lenses", "lenses"})
        if (auto done = database.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
            !done)
            return done;
    if (auto done = exec(database, QStringLiteral("INSERT INTO summary_zone VALUES (?, ?)"),
                         {storedText(QString::fromLatin1(id)), changed});
        !done || id.isEmpty())
        return done;

    auto runs = run(
        database,
        QStringLiteral("SELECT %1 FROM runs ORDER BY serial, started, id").arg(countedColumns()));
    if (!runs)
        return runs.failure();
    Changes changes;
    std::vector<QVariantList> lenses;
    std::optional<Counted> first, latest;
    LensRuns all;
    const auto lensDone = [&] {
        if (first && !first->serial.isEmpty())
            lenses.push_back(lensRow(first->serial, *first, *latest, all, cut));
    };
    while (runs->next()) {
        const Counted counted = countedFrom(*runs);
        count(changes, counted, 1, cut);
        if (!first || first->serial != counted.serial) {
            lensDone();
            first = counted;
            all = {};
        }
        latest = counted;
        all.add(counted);
    }
    lensDone();
    runs->finish();
    if (auto done = apply(database, changes); !done)
        return done;
    return insert(database, QStringLiteral("lenses"), kLensColumns, lenses);
}

bool answers(const RunFilter &filter, const QTimeZone &zone)
{
    const auto dayBorder = [&zone](const QDateTime &time) {
        return !time.isValid() || time == time.toTimeZone(zone).date().startOfDay(zone);
    };
    RunFilter rest = filter;
    rest.station.clear();
    rest.since = {};
    rest.until = {};
    return zone.isValid() && rest == RunFilter{} && dayBorder(filter.since) &&
           dayBorder(filter.until);
}

} // namespace runs::summary
