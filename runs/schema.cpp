#include "schema.h"

#include "rundatabase.h"
#include "runsummary.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs::schema {

namespace {

// The schema's version as the database has it; 0 for a new database.
base::Result<int> storedVersion(RunDatabase &database)
{
    QSqlQuery read(database.connection());
    if (!read.exec(QStringLiteral("SELECT max(version) FROM velmaro_schema")))
        return database.failure(QStringLiteral("cannot read the run records"), read);
    return read.next() ? read.value(0).toInt() : 0;
}

} // namespace

std::vector<Migration> migrations(Dialect dialect)
{
    const QString blob =
        dialect == Dialect::Sqlite ? QStringLiteral("BLOB") : QStringLiteral("BYTEA");
    QString axes, axisSums;
    for (const char *axis : kAxisColumns)
        axisSums += QStringLiteral(", %1_failed INTEGER NOT NULL, %1_errors BIGINT NOT NULL")
                        .arg(QLatin1String(axis));
    for (const char *axis : kAxisColumns)
        axes += QStringLiteral("%1_moves INTEGER NOT NULL, %1_errors INTEGER NOT NULL, "
                               "%1_largest DOUBLE PRECISION, ")
                    .arg(QLatin1String(axis));
    QStringList failedOnAxis;
    for (const char *axis : kAxisColumns)
        failedOnAxis << QStringLiteral("CREATE INDEX IF NOT EXISTS runs_%1_failed ON runs "
                                       "(started, id) WHERE %1_errors > 0")
                            .arg(QLatin1String(axis));
    return {
        // The runs.
        {1,
         {QStringLiteral("CREATE TABLE runs (id TEXT PRIMARY KEY, station TEXT NOT NULL, "
                         "operator TEXT NOT NULL, version TEXT NOT NULL, port TEXT NOT NULL, "
                         "started TEXT NOT NULL, ended TEXT NOT NULL, tests TEXT NOT NULL, "
                         "cycles INTEGER NOT NULL, ending TEXT NOT NULL, serial TEXT NOT NULL, "
                         "errors INTEGER NOT NULL, %1digest TEXT NOT NULL, log_complete %2 NOT "
                         "NULL, log_errors %2 NOT NULL, revision BIGINT NOT NULL DEFAULT 1, "
                         "sent_revision BIGINT NOT NULL DEFAULT 0)")
              .arg(axes, blob),
          QStringLiteral("CREATE INDEX runs_started ON runs (started)"),
          QStringLiteral("CREATE INDEX runs_digest ON runs (digest)"),
          QStringLiteral("CREATE INDEX runs_serial ON runs (serial)")}},
        // The kept cam tables, with an outbox of their own, and the lens on the station.
        {2,
         {QStringLiteral("CREATE TABLE cam_records (id TEXT PRIMARY KEY, station TEXT NOT NULL, "
                         "operator TEXT NOT NULL, version TEXT NOT NULL, saved TEXT NOT NULL, "
                         "rows_recorded INTEGER NOT NULL, serial TEXT NOT NULL, digest TEXT NOT "
                         "NULL, bytes %1 NOT NULL, revision BIGINT NOT NULL DEFAULT 1, "
                         "sent_revision BIGINT NOT NULL DEFAULT 0)")
              .arg(blob),
          QStringLiteral("CREATE INDEX cam_records_saved ON cam_records (saved)"),
          QStringLiteral("CREATE INDEX cam_records_serial ON cam_records (serial, saved)"),
          QStringLiteral("CREATE TABLE station_settings (name TEXT PRIMARY KEY, value TEXT NOT "
                         "NULL)")}},
        // The plant's pages, newest first and a page deep without a sort: all runs, a
        // station's, a lens's (also its first and latest), an operator's.
        {3,
         {QStringLiteral("CREATE INDEX IF NOT EXISTS runs_started_id ON runs (started, id)"),
          QStringLiteral(
              "CREATE INDEX IF NOT EXISTS runs_station_started ON runs (station, started, id)"),
          QStringLiteral(
              "CREATE INDEX IF NOT EXISTS runs_serial_started ON runs (serial, started, id)"),
          QStringLiteral(
              "CREATE INDEX IF NOT EXISTS runs_operator_started ON runs (operator, started, id)")}},
        // The runs under way: one row per station, a new snapshot replaces the one before.
        {4,
         {QStringLiteral("CREATE TABLE run_progress (station TEXT PRIMARY KEY, run_id TEXT NOT "
                         "NULL, serial TEXT NOT NULL, tests TEXT NOT NULL, cycles INTEGER NOT "
                         "NULL, zoom1_errors INTEGER NOT NULL, zoom2_errors INTEGER NOT NULL, "
                         "iris_errors INTEGER NOT NULL, focus_errors INTEGER NOT NULL, "
                         "last_step TEXT NOT NULL, updated TEXT NOT NULL, ended INTEGER NOT "
                         "NULL)")}},
        // A beginning of an id finds its records along an index in byte order: PostgreSQL's
        // own follows the language's and skips the hyphens. SQLite's is in that order already.
        {5, dialect == Dialect::Sqlite
                ? QStringList{}
                : QStringList{QStringLiteral("CREATE INDEX IF NOT EXISTS runs_id_bytes ON runs (id "
                                             "COLLATE \"C\")"),
                              QStringLiteral("CREATE INDEX IF NOT EXISTS cam_records_id_bytes ON "
                                             "cam_records (id COLLATE \"C\")")}},
        // The lens list sums up each lens's runs in the order of their starts from the index
        // alone; the runs that failed on an axis, a few in a hundred, have an index each.
        {6, QStringList{QStringLiteral("CREATE INDEX IF NOT EXISTS runs_serial_summary ON runs "
                                       "(serial, started, id, station, errors)")} +
                failedOnAxis},
        // The summary behind the quality figures (runsummary.h), made from the runs there are.
        {7,
         {QStringLiteral("CREATE TABLE IF NOT EXISTS summary_zone (zone TEXT NOT NULL, "
                         "changes BIGINT NOT NULL)"),
          QStringLiteral(
              "CREATE TABLE IF NOT EXISTS run_days (day TEXT NOT NULL, week TEXT NOT NULL, station "
              "TEXT NOT NULL, tests TEXT NOT NULL, ending TEXT NOT NULL, runs INTEGER "
              "NOT NULL, without_serial INTEGER NOT NULL, passed INTEGER NOT NULL, "
              "failed INTEGER NOT NULL%1, PRIMARY KEY (day, station, tests, ending))")
              .arg(axisSums),
          QStringLiteral("CREATE TABLE IF NOT EXISTS lens_days (day TEXT NOT NULL, week TEXT NOT "
                         "NULL, station TEXT NOT NULL, serial TEXT NOT NULL, runs INTEGER NOT "
                         "NULL, PRIMARY KEY (week, station, day, serial))"),
          QStringLiteral("CREATE TABLE IF NOT EXISTS week_lenses (week TEXT NOT NULL, station "
                         "TEXT NOT NULL, lenses INTEGER NOT NULL, PRIMARY KEY (week, station))"),
          QStringLiteral(
              "CREATE TABLE IF NOT EXISTS lenses (serial TEXT PRIMARY KEY, first_started TEXT NOT "
              "NULL, first_week TEXT NOT NULL, first_station TEXT NOT NULL, "
              "first_errors INTEGER NOT NULL, latest_started TEXT NOT NULL, "
              "latest_errors INTEGER NOT NULL, runs INTEGER NOT NULL, passed INTEGER NOT NULL, "
              "stations INTEGER NOT NULL)"),
          QStringLiteral("CREATE INDEX IF NOT EXISTS lenses_latest ON lenses (latest_started, "
                         "serial)")},
         summary::rebuild},
    };
}

int version()
{
    return migrations(Dialect::Sqlite).back().version;
}

QStringList runColumns()
{
    QStringList columns{"id",    "station", "operator", "version", "port",   "started",
                        "ended", "tests",   "cycles",   "ending",  "serial", "errors"};
    for (const char *axis : kAxisColumns)
        for (const char *figure : {"_moves", "_errors", "_largest"})
            columns << QLatin1String(axis) + QLatin1String(figure);
    columns << "digest"
            << "log_complete"
            << "log_errors";
    return columns;
}

QString summaryColumns()
{
    QStringList columns = runColumns();
    columns.removeLast();
    columns.removeLast();
    return columns.join(u',');
}

// The key of the plant's advisory lock that orders migrations ("VELM").
constexpr qint64 kMigrationLock = 0x56454C4D;

base::Status migrate(RunDatabase &database)
{
    // A schema already up to date needs no write and no lock, so a user who may only read (the
    // plant's web page) opens the plant too.
    if (auto current = storedVersion(database); current && *current == version())
        return {};
    auto transaction = Transaction::begin(database);
    if (!transaction)
        return transaction.failure();
    // Two stations starting at once migrate one after the other. On a new plant even the making
    // of the version's table must wait its turn: two CREATE TABLE IF NOT EXISTS at once fail on
    // PostgreSQL, so a lock that needs no table comes first. The table lock stays for stations of
    // earlier versions, which take only that one.
    if (database.isPlant())
        if (auto locked = database.exec(
                QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kMigrationLock));
            !locked)
            return locked;
    if (auto made = database.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS velmaro_schema "
                                                 "(version INTEGER NOT NULL)"));
        !made)
        return made;
    if (database.isPlant())
        if (auto locked =
                database.exec(QStringLiteral("LOCK TABLE velmaro_schema IN EXCLUSIVE MODE"));
            !locked)
            return locked;
    const auto stored = storedVersion(database);
    if (!stored)
        return stored.failure();
    const auto steps = migrations(database.isPlant() ? Dialect::Postgres : Dialect::Sqlite);
    const int newest = steps.back().version;
    if (*stored > newest)
        return base::fail(base::FailureKind::Unavailable,
                          QStringLiteral("%1 has schema version %2, newer than the %3 this "
                                         "Velmaro knows; update Velmaro")
                              .arg(database.name())
                              .arg(*stored)
                              .arg(newest)
                              .toStdString());
    if (*stored == newest)
        return transaction->commit();
    for (const Migration &step : steps) {
        if (step.version <= *stored)
            continue;
        for (const QString &sql : step.statements)
            if (auto done = database.exec(sql); !done)
                return done;
        if (step.fill)
            if (auto done = step.fill(database); !done)
                return done;
    }
    for (const QString &sql :
         {QStringLiteral("DELETE FROM velmaro_schema"),
          QStringLiteral("INSERT INTO velmaro_schema VALUES (%1)").arg(newest)})
        if (auto done = database.exec(sql); !done)
            return done;
    return transaction->commit();
}

} // namespace runs::schema
