#include "timestamp.h"

namespace runin {

namespace {
constexpr int kCentury = 100;
constexpr int kFirstYear = 2000;
} // namespace

Stamp stampOf(const QDateTime &moment, const QLocale &locale)
{
    return {locale.toString(moment.date(), QLocale::ShortFormat),
            locale.toString(moment.time(), QLocale::ShortFormat)};
}

std::optional<QDate> parseDateText(const QString &text, const QLocale &locale)
{
    QDate date = locale.toDate(text, QLocale::ShortFormat);
    if (!date.isValid())
        return std::nullopt;
    // Qt reads a two-digit year into the 1900s.
    if (!locale.dateFormat(QLocale::ShortFormat).contains(QStringLiteral("yyyy")) &&
        date.year() < kFirstYear)
        date = date.addYears(kCentury);
    return date;
}

std::optional<QTime> parseTimeText(const QString &text, const QLocale &locale)
{
    const QTime time = locale.toTime(text, QLocale::ShortFormat);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace runin
