// The kept cam tables and the lens on the station, in the same database as the runs.
#include "rundatabase.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

namespace {

constexpr const char *kCamColumns =
    "id, station, operator, version, saved, rows_recorded, serial, digest";

QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

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

base::Status RunDatabase::putCamRecord(const CamRecord &record)
{
    QSqlQuery query(db());
    // The plant keeps the first copy of a table and takes only a changed serial from a later one.
    query.prepare(
        QStringLiteral("INSERT INTO cam_records (%1, bytes) VALUES (:id, :station, :operator, "
                       ":version, :saved, :rows, :serial, :digest, :bytes)%2")
            .arg(QLatin1String(kCamColumns),
                 m_kind == Kind::Plant
                     ? QStringLiteral(" ON CONFLICT (id) DO UPDATE SET serial = excluded.serial "
                                      "WHERE cam_records.serial <> excluded.serial")
                     : QString()));
    query.bindValue(QStringLiteral(":id"), text(record.id));
    query.bindValue(QStringLiteral(":station"), text(record.station));
    query.bindValue(QStringLiteral(":operator"), text(record.operatorName));
    query.bindValue(QStringLiteral(":version"), text(record.version));
    query.bindValue(QStringLiteral(":saved"), text(storedTime(record.saved)));
    query.bindValue(QStringLiteral(":rows"), record.rowsRecorded);
    query.bindValue(QStringLiteral(":serial"), text(record.serial));
    query.bindValue(QStringLiteral(":digest"), text(QString::fromLatin1(record.digest)));
    query.bindValue(QStringLiteral(":bytes"),
                    record.bytes.isNull() ? QByteArray("") : record.bytes);
    if (!query.exec())
        return failure(QStringLiteral("cannot keep the cam table %1").arg(record.id), query);
    return {};
}

base::Result<bool> RunDatabase::keepCamRecord(const CamRecord &record)
{
    if (auto begun = begin(); !begun)
        return begun.failure();
    QSqlQuery latest(db());
    latest.prepare(QStringLiteral("SELECT digest, bytes FROM cam_records WHERE station = :station "
                                  "ORDER BY saved DESC, id LIMIT 1"));
    latest.bindValue(QStringLiteral(":station"), text(record.station));
    if (!latest.exec()) {
        const auto why = failure(QStringLiteral("cannot read the kept cam tables"), latest);
        rollback();
        return why;
    }
    if (latest.next() && latest.value(0).toString().toLatin1() == record.digest &&
        latest.value(1).toByteArray() == record.bytes) {
        latest.finish();
        rollback();
        return false;
    }
    latest.finish();
    if (auto put = putCamRecord(record); !put) {
        rollback();
        return put.failure();
    }
    if (auto committed = commit(); !committed) {
        rollback();
        return committed.failure();
    }
    return true;
}

base::Result<std::vector<CamRecord>> RunDatabase::camRecords(const CamFilter &filter)
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
    QSqlQuery query(db());
    query.setForwardOnly(true);
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
    if (!query.exec())
        return failure(QStringLiteral("cannot read the kept cam tables"), query);
    std::vector<CamRecord> records;
    while (query.next())
        records.push_back(readCam(query, false));
    return records;
}

base::Result<CamRecord> RunDatabase::findCamRecord(const QString &idOrLatest)
{
    const bool latest = idOrLatest == QLatin1String("latest");
    QSqlQuery query(db());
    if (latest) {
        query.prepare(QStringLiteral("SELECT %1, bytes FROM cam_records ORDER BY saved DESC, id "
                                     "LIMIT 1")
                          .arg(QLatin1String(kCamColumns)));
    } else {
        if (!readsAsId(idOrLatest))
            return base::fail(base::FailureKind::InvalidInput,
                              QStringLiteral("\"%1\" is not a cam table id (give the id, its "
                                             "beginning as --cams shows it, or latest)")
                                  .arg(idOrLatest)
                                  .toStdString());
        query.prepare(QStringLiteral("SELECT %1, bytes FROM cam_records WHERE id LIKE :prefix "
                                     "ORDER BY id LIMIT 2")
                          .arg(QLatin1String(kCamColumns)));
        query.bindValue(QStringLiteral(":prefix"), idOrLatest.toLower() + u'%');
    }
    if (!query.exec())
        return failure(QStringLiteral("cannot read the kept cam tables"), query);
    if (!query.next())
        return base::fail(
            base::FailureKind::NotFound,
            (latest ? QStringLiteral("%1 holds no cam table").arg(m_name)
                    : QStringLiteral("no cam table with the id %1 in %2").arg(idOrLatest, m_name))
                .toStdString());
    CamRecord record = readCam(query, true);
    if (!latest && query.next())
        return base::fail(base::FailureKind::Ambiguous,
                          QStringLiteral("the id %1 is the beginning of more than one cam table "
                                         "in %2; give more of it")
                              .arg(idOrLatest, m_name)
                              .toStdString());
    if (auto whole = checkCamBytes(record); !whole)
        return whole.failure();
    return record;
}

base::Status RunDatabase::setCamSerial(const QString &id, const QString &serial)
{
    return setSerialOf(kCams, id, serial);
}

base::Result<std::vector<Waiting>> RunDatabase::camWaiting()
{
    return waitingOf(kCams);
}

base::Status RunDatabase::markCamSent(const Waiting &sent)
{
    return markSentOf(kCams, sent);
}

base::Result<QString> RunDatabase::lensOnStation()
{
    QSqlQuery query(db());
    if (!query.exec(QStringLiteral("SELECT value FROM station_settings WHERE name = 'lens'")))
        return failure(QStringLiteral("cannot read the lens on the station"), query);
    return query.next() ? query.value(0).toString() : QString();
}

base::Status RunDatabase::setLensOnStation(const QString &serial)
{
    QSqlQuery query(db());
    if (serial.isEmpty()) {
        query.prepare(QStringLiteral("DELETE FROM station_settings WHERE name = 'lens'"));
    } else {
        query.prepare(QStringLiteral("INSERT INTO station_settings (name, value) VALUES ('lens', "
                                     ":serial) ON CONFLICT (name) DO UPDATE SET value = "
                                     "excluded.value"));
        query.bindValue(QStringLiteral(":serial"), serial);
    }
    if (!query.exec())
        return failure(QStringLiteral("cannot set the lens on the station"), query);
    return {};
}

} // namespace runs
