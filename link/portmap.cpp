#include "portmap.h"

#include <QFileInfo>
#include <QtGlobal>

namespace comm {

QString portName(int portNumber)
{
    return QStringLiteral("COM%1").arg(portNumber);
}

QString portDevice(int portNumber)
{
#ifdef Q_OS_WIN
    return portName(portNumber);
#else
    const QString dir = qEnvironmentVariable("VELMARO_PORT_DIR");
    if (!dir.isEmpty())
        return dir + QLatin1Char('/') + portName(portNumber);
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QString portMapDescription()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COMn is the Windows port of that name.");
#else
    const QString dir = qEnvironmentVariable("VELMARO_PORT_DIR");
    if (!dir.isEmpty()) {
        const QString where =
            QStringLiteral("COMn is the link COMn in %1 (VELMARO_PORT_DIR), and nothing else")
                .arg(dir);
        return where + (QFileInfo(dir).isDir() ? QStringLiteral(".")
                                               : QStringLiteral("; that folder does not exist."));
    }
    return QStringLiteral("COMn is /dev/ttyS<n-1>; set VELMARO_PORT_DIR to a folder of COMn links "
                          "to give other devices a number.");
#endif
}

} // namespace comm
