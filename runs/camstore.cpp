#include "camstore.h"

#include "localtime.h"
#include "recordtable.h"
#include "rundatabase.h"
#include "runrecord.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

namespace {

constexpr const char *kCamColumns =
    "id, station, operator, version, saved, rows_recorded, serial, digest";

CamRecord readCam(const QSqlQuery &query, bool withBytes)
{
    CamRecord record;
    record.id = query.value(0).toString();
    record.station = query.value(1).toString();
    record.operatorName = query.value(2).toString();
    record.version = query.value(3).toString();
    record.saved = timeFromStored(query.value(4).toString());
    record.rowsRecorded = query.value(5).toInt();
    record.serial = query.value(6).toString();
    record.digest = query.value(7).toString().toLatin1();
    if (withBytes)
        record.bytes = query.value(8).toByteArray();
    return record;
}

} // namespace

base::Status CamStore::put(const CamRecord &record)
{
    QSqlQuery query(m_database.connection());
    // The plant keeps the first copy of a table and takes only a changed serial from a later one.
    const bool prepared = query.prepare(
        QStringLiteral("INSERT INTO cam_records (%1, bytes) VALUES (:id, :station, :operator, "
                       ":version, :saved, :rows, :serial, :digest, :bytes)%2")
            .arg(QLatin1String(kCamColumns),
                 m_database.isPlant()
                     ? QStringLiteral(" ON CONFLICT (id) DO UPDATE SET serial = excluded.serial "
                                      "WHERE cam_records.serial <> excluded.serial")
                     : QString()));
    query.bindValue(QStringLiteral(":id"), storedText(record.id));
    query.bindValue(QStringLiteral(":station"), storedText(record.station));
    query.bindValue(QStringLiteral(":operator"), storedText(record.operatorName));
    query.bindValue(QStringLiteral(":version"), storedText(record.version));
    query.bindValue(QStringLiteral(":saved"), storedText(storedTime(record.saved)));
    query.bindValue(QStringLiteral(":rows"), record.rowsRecorded);
    query.bindValue(QStringLiteral(":serial"), storedText(record.serial));
    query.bindValue(QStringLiteral(":digest"), storedText(QString::fromLatin1(record.digest)));
    query.bindValue(QStringLiteral(":bytes"),
                    record.bytes.isNull() ? QByteArray("") : record.bytes);
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot keep the cam table %1").arg(record.id),
                                  query);
    return {};
}

base::Result<bool> CamStore::keep(const CamRecord &record)
{
    auto transaction = Transaction::begin(m_database);
    if (!transaction)
        return transaction.failure();
    QSqlQuery latest(m_database.connection());
    const bool latestPrepared = latest.prepare(
        QStringLiteral("SELECT digest, bytes FROM cam_records WHERE station = :station "
                       "ORDER BY saved DESC, id LIMIT 1"));
    latest.bindValue(QStringLiteral(":station"), storedText(record.station));
    if (!latestPrepared || !latest.exec())
        return m_database.failure(QStringLiteral("cannot read the kept cam tables"), latest);
    const bool same = latest.next() && latest.value(0).toString().toLatin1() == record.digest &&
                      latest.value(1).toByteArray() == record.bytes;
    latest.finish();
    if (same)
        return false;
    if (auto put = this->put(record); !put)
        return put.failure();
    if (auto committed = transaction->commit(); !committed)
        return committed.failure();
    return true;
}

base::Result<std::vector<CamRecord>> CamStore::list(const CamFilter &filter)
{
    QStringList where{QStringLiteral("1 = 1")};
    if (!filter.serial.isEmpty())
        where << QStringLiteral("serial = :serial");
    if (!filter.station.isEmpty())
        where << QStringLiteral("station = :station");
    if (filter.since.isValid())
        where << QStringLiteral("saved >= :since");
    if (filter.before.isValid())
        where << QStringLiteral("saved < :before");
    QSqlQuery query(m_database.connection());
    query.setForwardOnly(true);
    const bool prepared =
        query.prepare(QStringLiteral("SELECT %1 FROM cam_records WHERE %2 ORDER BY saved DESC, id")
                          .arg(QLatin1String(kCamColumns), where.join(QStringLiteral(" AND "))));
    if (!filter.serial.isEmpty())
        query.bindValue(QStringLiteral(":serial"), filter.serial);
    if (!filter.station.isEmpty())
        query.bindValue(QStringLiteral(":station"), filter.station);
    if (filter.since.isValid())
        query.bindValue(QStringLiteral(":since"), storedTime(filter.since));
    if (filter.before.isValid())
        query.bindValue(QStringLiteral(":before"), storedTime(filter.before));
    if (!prepared || !query.exec())
        return m_database.failure(QStringLiteral("cannot read the kept cam tables"), query);
    std::vector<CamRecord> records;
    while (query.next())
        records.push_back(readCam(query, false));
    return records;
}

base::Result<CamRecord> CamStore::find(const QString &idOrLatest)
{
    QSqlQuery query(m_database.connection());
    if (auto found = findById(m_database, kCamTable, QLatin1String(kCamColumns) + ", bytes",
                              idOrLatest, query);
        !found)
        return found.failure();
    CamRecord record = readCam(query, true);
    if (auto whole = checkCamBytes(record); !whole)
        return whole.failure();
    return record;
}

base::Status CamStore::setSerial(const QString &id, const QString &serial)
{
    return runs::setSerial(m_database, kCamTable, id, serial);
}

base::Result<std::optional<camtable::CamTable>> CamStore::tableOfRun(const RunRecord &run)
{
    using Found = std::optional<camtable::CamTable>;
    if (run.serial.isEmpty() || !run.start.isValid())
        return Found();
    auto kept = list({run.serial, {}, {}, run.start});
    if (!kept)
        return kept.failure();
    if (kept->empty())
        return Found();
    auto found = find(kept->front().id);
    if (!found)
        return found.failure();
    auto table = camtable::camTableFromBytes(
        found->bytes, QStringLiteral("%1, saved %2").arg(found->id, localTime(found->saved)));
    if (!table)
        return base::fail(base::FailureKind::Damaged,
                          QStringLiteral("the kept cam table %1 cannot be read: %2")
                              .arg(found->id, QString::fromStdString(table.error()))
                              .toStdString());
    return Found(std::move(*table));
}

} // namespace runs
