#include "rundatabase.h"

#include "schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace runs {

namespace {

using schema::kAxisColumns;

// A null text would be stored as NULL; the columns hold text, empty when unknown.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

// What a failed statement means to its caller, by the codes of SQLite and PostgreSQL. Anything
// else is taken for a connection that can no longer be trusted.
base::FailureKind kindOf(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // SQLITE_CORRUPT and SQLITE_NOTADB.
    if (code == QLatin1String("11") || code == QLatin1String("26"))
        return base::FailureKind::Damaged;
    // SQLITE_BUSY and SQLITE_LOCKED past the busy timeout; PostgreSQL's statement_timeout
    // (query_canceled) and lock_timeout (lock_not_available).
    if (code == QLatin1String("5") || code == QLatin1String("6") ||
        code == QLatin1String("57014") || code == QLatin1String("55P03"))
        return base::FailureKind::TimedOut;
    return base::FailureKind::Unavailable;
}

} // namespace

base::Failure RunDatabase::failure(const QString &what, const QSqlQuery &query) const
{
    return base::fail(kindOf(query.lastError()),
                      QStringLiteral("%1 (%2): %3")
                          .arg(what, m_name, query.lastError().text().trimmed())
                          .toStdString());
}

base::Status RunDatabase::exec(const QString &sql)
{
    QSqlQuery query(db());
    if (!query.exec(sql))
        return failure(QStringLiteral("cannot use the run records"), query);
    return {};
}

base::Status RunDatabase::begin()
{
    // Immediate: the write lock is taken at once, so a second writer waits its turn at the start
    // instead of failing halfway.
    return exec(m_kind == Kind::Station ? QStringLiteral("BEGIN IMMEDIATE")
                                        : QStringLiteral("BEGIN"));
}

base::Status RunDatabase::commit()
{
    return exec(QStringLiteral("COMMIT"));
}

void RunDatabase::rollback()
{
    QSqlQuery query(db());
    query.exec(QStringLiteral("ROLLBACK"));
}

base::Status RunDatabase::put(const RunRecord &record)
{
    const QStringList columns = schema::runColumns();
    QStringList marks;
    for (const QString &column : columns)
        marks << u':' + column;
    QString sql =
        QStringLiteral("INSERT INTO runs (%1) VALUES (%2) ON CONFLICT (id) DO UPDATE SET ")
            .arg(columns.join(u','), marks.join(u','));
    if (m_kind == Kind::Plant) {
        sql += QStringLiteral("serial = excluded.serial, revision = runs.revision + 1 WHERE "
                              "runs.serial <> excluded.serial");
    } else {
        QStringList sets;
        for (const QString &column : columns.mid(1))
            sets << column + QStringLiteral(" = excluded.") + column;
        sql += sets.join(u',') + QStringLiteral(", revision = runs.revision + 1");
    }
    QSqlQuery query(db());
    query.prepare(sql);
    query.bindValue(QStringLiteral(":id"), text(record.id));
    query.bindValue(QStringLiteral(":station"), text(record.station));
    query.bindValue(QStringLiteral(":operator"), text(record.operatorName));
    query.bindValue(QStringLiteral(":version"), text(record.version));
    query.bindValue(QStringLiteral(":port"), text(record.port));
    query.bindValue(QStringLiteral(":started"), text(storedTime(record.start)));
    query.bindValue(QStringLiteral(":ended"), text(storedTime(record.end)));
    query.bindValue(QStringLiteral(":tests"), text(record.tests));
    query.bindValue(QStringLiteral(":cycles"), record.cycles);
    query.bindValue(QStringLiteral(":ending"), text(endingText(record.ending)));
    query.bindValue(QStringLiteral(":serial"), text(record.serial));
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
    query.bindValue(QStringLiteral(":digest"), text(QString::fromLatin1(record.digest)));
    query.bindValue(QStringLiteral(":log_complete"), packLog(record.complete));
    query.bindValue(QStringLiteral(":log_errors"), packLog(record.errors));
    if (!query.exec())
        return failure(QStringLiteral("cannot store the run %1").arg(record.id), query);
    return {};
}

base::Result<bool> RunDatabase::hasLogs(const QByteArray &digest)
{
    QSqlQuery query(db());
    query.prepare(QStringLiteral("SELECT 1 FROM runs WHERE digest = :digest LIMIT 1"));
    query.bindValue(QStringLiteral(":digest"), QString::fromLatin1(digest));
    if (!query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    return query.next();
}

base::Result<RunRecord> RunDatabase::readRecord(QSqlQuery &query, bool withLogs) const
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
                    .arg(record.id, m_name,
                         QString::fromStdString(complete ? errors.error() : complete.error()))
                    .toStdString());
        record.complete = std::move(*complete);
        record.errors = std::move(*errors);
    }
    return record;
}

QString RunDatabase::summaryColumns()
{
    QStringList columns = schema::runColumns();
    columns.removeLast();
    columns.removeLast();
    return columns.join(u',');
}

base::Result<std::vector<RunRecord>> RunDatabase::list(const RunFilter &filter)
{
    const FilterSql where = filterSql(filter);
    QSqlQuery query(db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE %2 ORDER BY started, id")
                      .arg(summaryColumns(), where.sql()));
    where.bind(query);
    if (!query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    std::vector<RunRecord> records;
    while (query.next()) {
        auto record = readRecord(query, false);
        if (!record)
            return record.failure();
        records.push_back(std::move(*record));
    }
    return records;
}

base::Result<RunRecord> RunDatabase::find(const QString &idOrLatest)
{
    QSqlQuery query(db());
    const QString columns = schema::runColumns().join(u',');
    // A statement that cannot be prepared (PostgreSQL prepares at once: a lock held elsewhere
    // times out here) fails for its own reason, not for the empty one that follows.
    bool prepared = false;
    if (idOrLatest == QLatin1String("latest")) {
        prepared = query.prepare(
            QStringLiteral("SELECT %1 FROM runs ORDER BY started DESC, id LIMIT 2").arg(columns));
    } else {
        if (!readsAsId(idOrLatest))
            return base::fail(base::FailureKind::InvalidInput,
                              QStringLiteral("\"%1\" is not a run id (give the id, its "
                                             "beginning as --runs shows it, or latest)")
                                  .arg(idOrLatest)
                                  .toStdString());
        prepared =
            query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE id LIKE :prefix ORDER BY id "
                                         "LIMIT 2")
                              .arg(columns));
        query.bindValue(QStringLiteral(":prefix"), idOrLatest.toLower() + u'%');
    }
    if (!prepared || !query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    if (!query.next())
        return base::fail(
            base::FailureKind::NotFound,
            (idOrLatest == QLatin1String("latest")
                 ? QStringLiteral("%1 holds no run").arg(m_name)
                 : QStringLiteral("no run with the id %1 in %2").arg(idOrLatest, m_name))
                .toStdString());
    auto record = readRecord(query, true);
    if (idOrLatest != QLatin1String("latest") && query.next())
        return base::fail(base::FailureKind::Ambiguous,
                          QStringLiteral("the id %1 is the beginning of more than one run in %2; "
                                         "give more of it")
                              .arg(idOrLatest, m_name)
                              .toStdString());
    return record;
}

const RunDatabase::Kept RunDatabase::kRuns{"runs", "started", "run"};
const RunDatabase::Kept RunDatabase::kCams{"cam_records", "saved", "cam table"};

base::Status RunDatabase::setSerial(const QString &id, const QString &serial)
{
    return setSerialOf(kRuns, id, serial);
}

base::Result<std::vector<Waiting>> RunDatabase::waiting()
{
    return waitingOf(kRuns);
}

base::Status RunDatabase::markSent(const Waiting &sent)
{
    return markSentOf(kRuns, sent);
}

base::Status RunDatabase::setSerialOf(const Kept &kept, const QString &id, const QString &serial)
{
    // A new serial raises the revision: at the station so that the plant gets it too, and
    // everywhere so that figures made before it are not given again (changeMark).
    QSqlQuery query(db());
    query.prepare(QStringLiteral("UPDATE %1 SET serial = :serial, revision = revision + 1 WHERE "
                                 "id = :id")
                      .arg(QLatin1String(kept.table)));
    query.bindValue(QStringLiteral(":serial"), text(serial));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return failure(
            QStringLiteral("cannot give the %1 %2 its serial").arg(QLatin1String(kept.noun), id),
            query);
    if (query.numRowsAffected() == 0)
        return base::fail(base::FailureKind::NotFound,
                          QStringLiteral("no %1 with the id %2 in %3")
                              .arg(QLatin1String(kept.noun), id, m_name)
                              .toStdString());
    return {};
}

base::Result<std::vector<Waiting>> RunDatabase::waitingOf(const Kept &kept)
{
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, revision FROM %1 WHERE sent_revision < revision "
                                   "ORDER BY %2, id")
                        .arg(QLatin1String(kept.table), QLatin1String(kept.order))))
        return failure(QStringLiteral("cannot read the outbox"), query);
    std::vector<Waiting> waiting;
    while (query.next())
        waiting.push_back({query.value(0).toString(), query.value(1).toLongLong()});
    return waiting;
}

base::Status RunDatabase::markSentOf(const Kept &kept, const Waiting &sent)
{
    // A serial given meanwhile raised the revision: that one still waits.
    QSqlQuery query(db());
    query.prepare(QStringLiteral("UPDATE %1 SET sent_revision = :revision WHERE id = :id AND "
                                 "sent_revision < :revision")
                      .arg(QLatin1String(kept.table)));
    query.bindValue(QStringLiteral(":revision"), sent.revision);
    query.bindValue(QStringLiteral(":id"), sent.id);
    if (!query.exec())
        return failure(
            QStringLiteral("cannot mark the %1 %2 as sent").arg(QLatin1String(kept.noun), sent.id),
            query);
    return {};
}

} // namespace runs
