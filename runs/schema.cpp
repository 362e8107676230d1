#include "schema.h"

#include "progress.h"
#include "rundatabase.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

namespace schema {

std::vector<QStringList> migrations(Dialect dialect)
{
    const QString blob =
        dialect == Dialect::Sqlite ? QStringLiteral("BLOB") : QStringLiteral("BYTEA");
    QString axes;
    for (const char *axis : kAxisColumns)
        axes += QStringLiteral("%1_moves INTEGER NOT NULL, %1_errors INTEGER NOT NULL, "
                               "%1_largest DOUBLE PRECISION, ")
                    .arg(QLatin1String(axis));
    return {
        // 1: the runs.
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
         QStringLiteral("CREATE INDEX runs_serial ON runs (serial)")},
        // The kept cam tables, with an outbox of their own, and the lens on the station.
        {QStringLiteral("CREATE TABLE cam_records (id TEXT PRIMARY KEY, station TEXT NOT NULL, "
                        "operator TEXT NOT NULL, version TEXT NOT NULL, saved TEXT NOT NULL, "
                        "rows_recorded INTEGER NOT NULL, serial TEXT NOT NULL, digest TEXT NOT "
                        "NULL, bytes %1 NOT NULL, revision BIGINT NOT NULL DEFAULT 1, "
                        "sent_revision BIGINT NOT NULL DEFAULT 0)")
             .arg(blob),
         QStringLiteral("CREATE INDEX cam_records_saved ON cam_records (saved)"),
         QStringLiteral("CREATE INDEX cam_records_serial ON cam_records (serial, saved)"),
         QStringLiteral("CREATE TABLE station_settings (name TEXT PRIMARY KEY, value TEXT NOT "
                        "NULL)")},
        // The plant's pages, newest first and a page deep without a sort: all runs, a
        // station's, a lens's (also its first and latest), an operator's.
        {QStringLiteral("CREATE INDEX IF NOT EXISTS runs_started_id ON runs (started, id)"),
         QStringLiteral(
             "CREATE INDEX IF NOT EXISTS runs_station_started ON runs (station, started, id)"),
         QStringLiteral(
             "CREATE INDEX IF NOT EXISTS runs_serial_started ON runs (serial, started, id)"),
         QStringLiteral(
             "CREATE INDEX IF NOT EXISTS runs_operator_started ON runs (operator, started, id)")},
        // 4: the runs under way, one per station.
        progressMigration(),
    };
}

int version()
{
    return static_cast<int>(migrations(Dialect::Sqlite).size());
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

} // namespace schema

base::Status RunDatabase::migrate()
{
    // A schema already up to date needs no write and no lock, so a user who may only read (the
    // plant's web page) opens the plant too.
    {
        QSqlQuery current(db());
        if (current.exec(QStringLiteral("SELECT max(version) FROM velmaro_schema")) &&
            current.next() && current.value(0).toInt() == schema::version())
            return {};
    }
    if (auto made = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS velmaro_schema (version "
                                        "INTEGER NOT NULL)"));
        !made)
        return made;
    if (auto begun = begin(); !begun)
        return begun;
    if (m_kind == Kind::Plant) {
        // Two stations starting at once migrate one after the other.
        if (auto locked = exec(QStringLiteral("LOCK TABLE velmaro_schema IN EXCLUSIVE MODE"));
            !locked) {
            rollback();
            return locked;
        }
    }
    QSqlQuery read(db());
    if (!read.exec(QStringLiteral("SELECT max(version) FROM velmaro_schema"))) {
        const auto why = failure(QStringLiteral("cannot read the run records"), read);
        rollback();
        return why;
    }
    const int version = read.next() ? read.value(0).toInt() : 0;
    read.finish();
    const auto steps = schema::migrations(m_kind == Kind::Station ? schema::Dialect::Sqlite
                                                                  : schema::Dialect::Postgres);
    const int newest = static_cast<int>(steps.size());
    if (version > newest) {
        rollback();
        return base::fail(base::FailureKind::Unavailable,
                          QStringLiteral("%1 has schema version %2, newer than the %3 this "
                                         "Velmaro knows; update Velmaro")
                              .arg(m_name)
                              .arg(version)
                              .arg(newest)
                              .toStdString());
    }
    for (int next = version + 1; next <= newest; ++next) {
        for (const QString &sql : steps.at(static_cast<std::size_t>(next - 1))) {
            if (auto done = exec(sql); !done) {
                rollback();
                return done;
            }
        }
    }
    if (version < newest) {
        if (auto done = exec(QStringLiteral("DELETE FROM velmaro_schema")); !done) {
            rollback();
            return done;
        }
        if (auto done = exec(QStringLiteral("INSERT INTO velmaro_schema VALUES (%1)").arg(newest));
            !done) {
            rollback();
            return done;
        }
    }
    return commit();
}

} // namespace runs
