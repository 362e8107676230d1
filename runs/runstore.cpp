#include "runstore.h"

#include "recordtable.h"
#include "rundatabase.h"
#include "runsummary.h"
#include "schema.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

using schema::kAxisColumns;

base::Status RunStore::put(const RunRecord &record)
{
    return changing(record.id, [this, &record] { return write(record); });
}

base::Status RunStore::changing(const QString &id, const std::function<base::Status()> &change)
{
    // The run as it was and as it is now, in one transaction with the summary of both.
    auto transaction = Transaction::begin(m_database);
    if (!transaction)
        return transaction.failure();
    auto before = summary::read(m_database, id);
    if (!before)
        return before.failure();
    if (auto done = change(); !done)
        return done;
    auto after = summary::read(m_database, id);
    if (!after)
        return after.failure();
    if (auto counted = summary::change(m_database, *before, *after); !counted)
        return counted;
    return transaction->commit();
}

base::Status RunStore::write(const RunRecord &record)
{
    const QStringList columns = schema::runColumns();
    QStringList marks;
    for (const QString &column : columns)
        marks << u':' + column;
    QString sql =
        QStringLiteral("INSERT INTO runs (%1) VALUES (%2) ON CONFLICT (id) DO UPDATE SET ")
            .arg(columns.join(u','), marks.join(u','));
    if (m_database.isPlant()) {
        sql += QStringLiteral("serial = excluded.serial, revision = runs.revision + 1 WHERE "
                              "runs.serial <> excluded.serial");
    } else {
        QStringList sets;
        for (const QString &column : columns.mid(1))
            sets << column + QStringLiteral(" = excluded.") + column;
        sql += sets.join(u',') + QStringLiteral(", revision = runs.revision + 1");
    }
    QSqlQuery query(m_database.connection());
    const bool prepared = query.prepare(sql);
    query.bindValue(QStringLiteral(":id"), storedText(record.id));
    query.bindValue(QStringLiteral(":station"), storedText(record.station));
    query.bindValue(QStringLiteral(":operator"), storedText(record.operatorName));
    query.bindValue(QStringLiteral(":version"), storedText(record.version));
    query.bindValue(QStringLiteral(":port"), storedText(record.port));
    query.bindValue(QStringLiteral(":started"), storedText(storedTime(record.start)));
    query.bindValue(QStringLiteral(":ended"), storedText(storedTime(record.end)));
    query.bindValue(QStringLiteral(":tests"), storedText(record.tests));
    query.bindValue(QStringLiteral(":cycles"), record.cycles);
    query.bindValue(QStringLiteral(":ending"), storedText(endingText(record.ending)));
    query.bindValue(QStringLiteral(":serial"), storedText(record.serial));
    query.bindValue(QStringLiteral(":errors"), record.errorCount());
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const AxisFigures &figures = record.axes.at(static_cast<std::size_t>(axis));
        const QString prefix =
            u':' + QLatin1String(kAxisColumns.at(static_cast<std::size_t>(axis)));
        query.bindValue(prefix + QStringLiteral("_moves"), figures.moves);
        query.bindValue(prefix + QStringLiteral("_errors"), figures.errors);
        query.bindValue(prefix + QStringLiteral("_largest"),
                        figures.largest ? QVariant(*figures.largest)
                                        : QVariant(QMetaType::fromType<double>()));
    }
    query.bindValue(QStringLiteral(":digest"), storedText(QString::fromLatin1(record.digest)));
    query.bindValue(QStringLiteral(":log_complete"), packLog(record.complete));
    query.bindValue(QStringLiteral(":log_errors"), packLog(record.errors));
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot store the run %1").arg(record.id), query);
    return {};
}

base::Result<bool> RunStore::hasLogs(const QByteArray &digest)
{
    QSqlQuery query(m_database.connection());
    const bool prepared =
        query.prepare(QStringLiteral("SELECT 1 FROM runs WHERE digest = :digest LIMIT 1"));
    query.bindValue(QStringLiteral(":digest"), QString::fromLatin1(digest));
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot read the run records"), query);
    return query.next();
}

base::Result<RunRecord> RunStore::read(QSqlQuery &query, bool withLogs) const
{
    RunRecord record;
    int column = 0;
    const auto next = [&query, &column] { return query.value(column++); };
    record.id = next().toString();
    record.station = next().toString();
    record.operatorName = next().toString();
    record.version = next().toString();
    record.port = next().toString();
    record.start = timeFromStored(next().toString());
    record.end = timeFromStored(next().toString());
    record.tests = next().toString();
    record.cycles = next().toInt();
    const QString ending = next().toString();
    record.ending = endingFromText(ending).value_or(runin::RunEnding::Unknown);
    record.serial = next().toString();
    ++column; // the total of errors, kept for queries
    for (auto &axis : record.axes) {
        axis.moves = next().toInt();
        axis.errors = next().toInt();
        const QVariant largest = next();
        if (!largest.isNull())
            axis.largest = largest.toDouble();
    }
    record.digest = next().toString().toLatin1();
    if (withLogs) {
        auto complete = unpackLog(next().toByteArray());
        auto errors = unpackLog(next().toByteArray());
        if (!complete || !errors)
            return base::fail(
                base::FailureKind::Damaged,
                QStringLiteral("the run %1 in %2 cannot be read: %3")
                    .arg(record.id, m_database.name(),
                         QString::fromStdString(complete ? errors.error() : complete.error()))
                    .toStdString());
        record.complete = std::move(*complete);
        record.errors = std::move(*errors);
    }
    return record;
}

base::Result<std::vector<RunRecord>> RunStore::readAll(QSqlQuery &query) const
{
    std::vector<RunRecord> records;
    while (query.next()) {
        auto record = read(query, false);
        if (!record)
            return record.failure();
        records.push_back(std::move(*record));
    }
    return records;
}

base::Result<std::vector<RunRecord>> RunStore::list(const RunFilter &filter)
{
    const FilterSql where = filterSql(filter);
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    const bool prepared =
        query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE %2 ORDER BY started, id")
                          .arg(schema::summaryColumns(), where.sql()));
    where.bind(query);
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot read the run records"), query);
    return readAll(query);
}

base::Result<RunPage> RunStore::page(const RunFilter &filter, int page, int perPage)
{
    if (page < 1 || perPage < 1)
        return base::fail(base::FailureKind::InvalidInput,
                          QStringLiteral("page %1 of %2 runs each: pages count from 1")
                              .arg(page)
                              .arg(perPage)
                              .toStdString());
    const FilterSql where = filterSql(filter);
    QSqlQuery count(m_database.connection());
    const bool countPrepared =
        count.prepare(QStringLiteral("SELECT count(*) FROM runs WHERE %1").arg(where.sql()));
    where.bind(count);
    if (!countPrepared || !count.exec() || !count.next())
        return m_database.failure(QStringLiteral("cannot read the run records"), count);
    RunPage found;
    found.total = count.value(0).toInt();
    count.finish();
    const qint64 skip = qint64{page - 1} * perPage;
    if (skip >= found.total)
        return found;

    // The page's ids first, from the index alone; only then its rows: a deep page does not
    // read every row before it.
    QStringList columns = schema::summaryColumns().split(u',');
    for (QString &column : columns)
        column.prepend(QStringLiteral("r."));
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    const bool prepared = query.prepare(
        QStringLiteral("SELECT %1 FROM runs r JOIN (SELECT id, started FROM runs WHERE "
                       "%2 ORDER BY started DESC, id DESC LIMIT %3 OFFSET %4) p ON "
                       "p.id = r.id ORDER BY p.started DESC, p.id DESC")
            .arg(columns.join(u','), where.sql())
            .arg(perPage)
            .arg(skip));
    where.bind(query);
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot read the run records"), query);
    auto runs = readAll(query);
    if (!runs)
        return runs.failure();
    found.runs = std::move(*runs);
    return found;
}

base::Result<std::vector<RunRecord>> RunStore::lastRunPerStation()
{
    // The stations one by one along the (station, started) index, and the newest run of each:
    // a few steps per station, however many runs there are.
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("WITH RECURSIVE stations(name) AS (SELECT min(station) FROM "
                                   "runs UNION ALL SELECT (SELECT min(station) FROM runs WHERE "
                                   "station > name) FROM stations WHERE name IS NOT NULL) SELECT "
                                   "%1 FROM runs WHERE id IN (SELECT (SELECT id FROM runs r "
                                   "WHERE r.station = stations.name ORDER BY r.started DESC, r.id "
                                   "DESC LIMIT 1) FROM stations WHERE name IS NOT NULL) ORDER BY "
                                   "station")
                        .arg(schema::summaryColumns())))
        return m_database.failure(QStringLiteral("cannot read the run records"), query);
    return readAll(query);
}

base::Result<QString> RunStore::changeMark()
{
    QSqlQuery query(m_database.connection());
    // Every put and serial that changes a run counts in the summary's changes: no scan of the runs.
    if (!query.exec(QStringLiteral("SELECT (SELECT max(changes) FROM summary_zone), (SELECT "
                                   "max(started) FROM runs)")) ||
        !query.next())
        return m_database.failure(QStringLiteral("cannot read the run records"), query);
    return query.value(0).toString() + u'|' + query.value(1).toString();
}

base::Result<RunRecord> RunStore::find(const QString &idOrLatest, Logs logs)
{
    QSqlQuery query(m_database.connection());
    const QString columns =
        logs == Logs::With ? schema::runColumns().join(u',') : schema::summaryColumns();
    if (auto found = findById(m_database, kRunTable, columns, idOrLatest, query); !found)
        return found.failure();
    return read(query, logs == Logs::With);
}

base::Result<QByteArray> RunStore::logValue(const QString &id, const QString &expression)
{
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    const bool prepared =
        query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE id = :id").arg(expression));
    query.bindValue(QStringLiteral(":id"), id);
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot read the log of the run %1").arg(id),
                                  query);
    if (!query.next())
        return base::fail(
            base::FailureKind::NotFound,
            QStringLiteral("no run with the id %1 in %2").arg(id, m_database.name()).toStdString());
    return query.value(0).toByteArray();
}

base::Result<QByteArray> RunStore::packedLog(const QString &id, bool complete)
{
    return logValue(id, complete ? QStringLiteral("log_complete") : QStringLiteral("log_errors"));
}

base::Result<qint64> RunStore::logLength(const QString &id, bool complete)
{
    auto head = logValue(
        id, QStringLiteral("substr(%1, 1, 4)")
                .arg(complete ? QLatin1String("log_complete") : QLatin1String("log_errors")));
    if (!head)
        return head.failure();
    auto length = packedLogLength(*head);
    if (!length)
        return base::fail(length.kind(),
                          QStringLiteral("the run %1 in %2 cannot be read: %3")
                              .arg(id, m_database.name(), QString::fromStdString(length.error()))
                              .toStdString());
    return length;
}

base::Status RunStore::setSerial(const QString &id, const QString &serial)
{
    return changing(id, [&] { return runs::setSerial(m_database, kRunTable, id, serial); });
}

} // namespace runs
