#include "portmap.h"

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

} // namespace comm
