#include "timestamp.h"

namespace runin {

Stamp stampOf(const QDateTime &moment, const QLocale &locale)
{
    return {locale.toString(moment.date(), QLocale::ShortFormat),
            locale.toString(moment.time(), QLocale::ShortFormat)};
}

} // namespace runin
