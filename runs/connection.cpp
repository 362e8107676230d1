#include "connection.h"

#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QVariant>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

namespace runs {

namespace {

constexpr const char *kSettingsKey = "VELMARO_RUNS_DB";

} // namespace

QString setting(const char *key)
{
    const QString fromEnvironment = qEnvironmentVariable(key).trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QSettings settings(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/velmaro/velmaro.conf"),
        QSettings::IniFormat);
    // An unquoted value with commas reads as a list; it was meant as one string.
    const QVariant value = settings.value(QLatin1String(key));
    if (value.metaType() == QMetaType::fromType<QStringList>())
        return value.toStringList().join(QStringLiteral(", ")).trimmed();
    return value.toString().trimmed();
}

QString plantConnection()
{
    return setting(kSettingsKey);
}

QString stationDatabasePath()
{
    // The generic data home with our own folder: the same file for velmaro and velmaro-report,
    // whatever each calls itself.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/velmaro/runs.sqlite");
}

QString stationName()
{
    return QSysInfo::machineHostName();
}

QString operatorName()
{
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
#ifndef Q_OS_WIN
    if (const passwd *entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    return QStringLiteral("unknown");
}

} // namespace runs
