#include "recordtable.h"

#include "rundatabase.h"
#include "runrecord.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

base::Result<QStringList> idsBeginningWith(RunDatabase &database, const RecordTable &table,
                                           const QString &prefix, int most)
{
    // Ids are kept in lower case. The ids from the beginning up to the one after it, compared
    // byte for byte: PostgreSQL's language-aware order would skip the hyphens (schema.cpp keeps
    // an index in that order); SQLite compares bytes anyway.
    const QString low = prefix.toLower();
    QString high = low;
    if (!high.isEmpty())
        high.back() = QChar(high.back().unicode() + 1);
    const QString id =
        database.isPlant() ? QStringLiteral("id COLLATE \"C\"") : QStringLiteral("id");
    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    const bool prepared = query.prepare(
        QStringLiteral("SELECT id FROM %1 WHERE %2 >= :low%3 ORDER BY %2 LIMIT %4")
            .arg(QLatin1String(table.table), id,
                 high.isEmpty() ? QString() : QStringLiteral(" AND %1 < :high").arg(id))
            .arg(most));
    query.bindValue(QStringLiteral(":low"), low);
    if (!high.isEmpty())
        query.bindValue(QStringLiteral(":high"), high);
    if (!prepared || !query.exec())
        return database.failure(
            QStringLiteral("cannot read the %1").arg(QLatin1String(table.plural)), query);
    QStringList ids;
    while (query.next())
        ids << query.value(0).toString();
    return ids;
}

base::Status findById(RunDatabase &database, const RecordTable &table, const QString &columns,
                      const QString &idOrLatest, QSqlQuery &query)
{
    const QString noun = QLatin1String(table.noun);
    const bool latest = idOrLatest == QLatin1String("latest");
    QString id = idOrLatest;
    if (!latest) {
        if (!readsAsId(idOrLatest))
            return base::fail(base::FailureKind::InvalidInput,
                              QStringLiteral("\"%1\" is not a %2 id (give the id, its beginning as "
                                             "%3 shows it, or latest)")
                                  .arg(idOrLatest, noun, QLatin1String(table.option))
                                  .toStdString());
        auto ids = idsBeginningWith(database, table, idOrLatest, 2);
        if (!ids)
            return ids.failure();
        if (ids->size() > 1)
            return base::fail(base::FailureKind::Ambiguous,
                              QStringLiteral("the id %1 is the beginning of more than one %2 in "
                                             "%3; give more of it")
                                  .arg(idOrLatest, noun, database.name())
                                  .toStdString());
        id = ids->value(0);
    }
    // A statement that cannot be prepared (PostgreSQL prepares at once: a lock held elsewhere
    // times out here) fails for its own reason, not for the empty one that follows.
    const bool prepared =
        latest ? query.prepare(
                     QStringLiteral("SELECT %1 FROM %2 ORDER BY %3 DESC, id LIMIT 1")
                         .arg(columns, QLatin1String(table.table), QLatin1String(table.time)))
               : query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE id = :id")
                                   .arg(columns, QLatin1String(table.table)));
    if (!latest)
        query.bindValue(QStringLiteral(":id"), id);
    if (!prepared || !query.exec())
        return database.failure(
            QStringLiteral("cannot read the %1").arg(QLatin1String(table.plural)), query);
    if (!query.next())
        return base::fail(base::FailureKind::NotFound,
                          (latest ? QStringLiteral("%1 holds no %2").arg(database.name(), noun)
                                  : QStringLiteral("no %1 with the id %2 in %3")
                                        .arg(noun, idOrLatest, database.name()))
                              .toStdString());
    return {};
}

base::Status setSerial(RunDatabase &database, const RecordTable &table, const QString &id,
                       const QString &serial)
{
    // A new serial raises the revision: at the station so that the plant gets it too, and
    // everywhere so that figures made before it are not given again (changeMark).
    QSqlQuery query(database.connection());
    query.prepare(QStringLiteral("UPDATE %1 SET serial = :serial, revision = revision + 1 WHERE "
                                 "id = :id")
                      .arg(QLatin1String(table.table)));
    query.bindValue(QStringLiteral(":serial"), storedText(serial));
    query.bindValue(QStringLiteral(":id"), id);
    const QString noun = QLatin1String(table.noun);
    if (!query.exec())
        return database.failure(QStringLiteral("cannot give the %1 %2 its serial").arg(noun, id),
                                query);
    if (query.numRowsAffected() == 0)
        return base::fail(base::FailureKind::NotFound,
                          QStringLiteral("no %1 with the id %2 in %3")
                              .arg(noun, id, database.name())
                              .toStdString());
    return {};
}

} // namespace runs
