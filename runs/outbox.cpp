#include "outbox.h"

#include "rundatabase.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

base::Result<std::vector<Waiting>> Outbox::waiting()
{
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, revision FROM %1 WHERE sent_revision < revision "
                                   "ORDER BY %2, id")
                        .arg(QLatin1String(m_table.table), QLatin1String(m_table.time))))
        return m_database.failure(QStringLiteral("cannot read the outbox"), query);
    std::vector<Waiting> waiting;
    while (query.next())
        waiting.push_back({query.value(0).toString(), query.value(1).toLongLong()});
    return waiting;
}

base::Status Outbox::markSent(const Waiting &sent)
{
    // A serial given meanwhile raised the revision: that one still waits.
    QSqlQuery query(m_database.connection());
    const bool prepared =
        query.prepare(QStringLiteral("UPDATE %1 SET sent_revision = :revision WHERE id = :id AND "
                                     "sent_revision < :revision")
                          .arg(QLatin1String(m_table.table)));
    query.bindValue(QStringLiteral(":revision"), sent.revision);
    query.bindValue(QStringLiteral(":id"), sent.id);
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot mark the %1 %2 as sent")
                                      .arg(QLatin1String(m_table.noun), sent.id),
                                  query);
    return {};
}

} // namespace runs
