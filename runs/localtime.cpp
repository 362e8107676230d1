#include "localtime.h"

namespace runs {

QString localTime(const QDateTime &utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                         : QStringLiteral("unknown");
}

} // namespace runs
