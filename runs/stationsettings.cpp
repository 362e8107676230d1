#include "stationsettings.h"

#include "rundatabase.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

base::Result<QString> StationSettings::lens()
{
    QSqlQuery query(m_database.connection());
    if (!query.exec(QStringLiteral("SELECT value FROM station_settings WHERE name = 'lens'")))
        return m_database.failure(QStringLiteral("cannot read the lens on the station"), query);
    return query.next() ? query.value(0).toString() : QString();
}

base::Status StationSettings::setLens(const QString &serial)
{
    QSqlQuery query(m_database.connection());
    if (serial.isEmpty()) {
        query.prepare(QStringLiteral("DELETE FROM station_settings WHERE name = 'lens'"));
    } else {
        query.prepare(QStringLiteral("INSERT INTO station_settings (name, value) VALUES ('lens', "
                                     ":serial) ON CONFLICT (name) DO UPDATE SET value = "
                                     "excluded.value"));
        query.bindValue(QStringLiteral(":serial"), serial);
    }
    if (!query.exec())
        return m_database.failure(QStringLiteral("cannot set the lens on the station"), query);
    return {};
}

} // namespace runs
