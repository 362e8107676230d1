#include "progressstore.h"

#include "rundatabase.h"
#include "schema.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

namespace {

// Per axis, as the runs table names them.
QStringList errorColumns()
{
    QStringList columns;
    for (const char *axis : schema::kAxisColumns)
        columns << QLatin1String(axis) + QStringLiteral("_errors");
    return columns;
}

// The database's clock now, as the records keep a time.
QString nowExpression(const RunDatabase &database)
{
    return database.isPlant() ? QStringLiteral("to_char(now() AT TIME ZONE 'UTC', "
                                               "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
                              : QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', 'now')");
}

} // namespace

base::Status ProgressStore::put(const RunProgress &progress)
{
    // The database's clock stamps it: a station whose clock is astray makes no run look silent.
    const QString now = nowExpression(m_database);
    const QStringList errors = errorColumns();
    const QStringList columns = QStringList{"run_id", "serial", "tests", "cycles"} + errors +
                                QStringList{"last_step", "ended"};
    QStringList marks, sets;
    for (const QString &column : columns) {
        marks << u':' + column;
        sets << column + QStringLiteral(" = excluded.") + column;
    }
    QSqlQuery query(m_database.connection());
    const bool prepared =
        query.prepare(QStringLiteral("INSERT INTO run_progress (station, %1, updated) VALUES "
                                     "(:station, %2, %3) ON CONFLICT (station) DO UPDATE SET %4, "
                                     "updated = excluded.updated")
                          .arg(columns.join(u','), marks.join(u','), now, sets.join(u',')));
    query.bindValue(QStringLiteral(":station"), storedText(progress.station));
    query.bindValue(QStringLiteral(":run_id"), storedText(progress.runId));
    query.bindValue(QStringLiteral(":serial"), storedText(progress.serial));
    query.bindValue(QStringLiteral(":tests"), storedText(progress.tests));
    query.bindValue(QStringLiteral(":cycles"), progress.cycles);
    for (int axis = 0; axis < kAxisCount; ++axis)
        query.bindValue(u':' + errors.at(axis), progress.errors.at(static_cast<std::size_t>(axis)));
    query.bindValue(QStringLiteral(":last_step"), storedText(storedTime(progress.lastStep)));
    query.bindValue(QStringLiteral(":ended"), progress.ended ? 1 : 0);
    if (!prepared || !query.exec())
        return m_database.failure(
            QStringLiteral("cannot store the progress of the run %1").arg(progress.runId), query);
    return {};
}

base::Result<std::vector<RunProgress>> ProgressStore::latest()
{
    // A run whose record has arrived is over, even when its last snapshot was lost on the way.
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT p.station, p.run_id, p.serial, p.tests, p.cycles, %1, "
                                   "p.last_step, p.updated, p.ended, EXISTS (SELECT 1 FROM runs "
                                   "r WHERE r.id = p.run_id) FROM run_progress p ORDER BY "
                                   "p.station")
                        .arg(QStringLiteral("p.") + errorColumns().join(QStringLiteral(", p.")))))
        return m_database.failure(QStringLiteral("cannot read the runs under way"), query);
    std::vector<RunProgress> stations;
    while (query.next()) {
        RunProgress progress;
        int column = 0;
        const auto next = [&query, &column] { return query.value(column++); };
        progress.station = next().toString();
        progress.runId = next().toString();
        progress.serial = next().toString();
        progress.tests = next().toString();
        progress.cycles = next().toInt();
        for (int &errors : progress.errors)
            errors = next().toInt();
        progress.lastStep = timeFromStored(next().toString());
        progress.updated = timeFromStored(next().toString());
        const bool endTold = next().toInt() != 0;
        progress.ended = endTold || next().toBool();
        stations.push_back(std::move(progress));
    }
    return stations;
}

base::Result<QDateTime> ProgressStore::now()
{
    QSqlQuery query(m_database.connection());
    if (!query.exec(QStringLiteral("SELECT ") + nowExpression(m_database)) || !query.next())
        return m_database.failure(QStringLiteral("cannot read the database's clock"), query);
    return timeFromStored(query.value(0).toString());
}

} // namespace runs
