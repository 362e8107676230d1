#include "timestamp.h"

namespace runin {

namespace {

// Whether the short date format writes the year with two digits ("yy" rather than "yyyy"). Qt
// reads such a year as 19yy.
bool twoDigitYear(const QString &format)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i <= format.size(); ++i) {
        if (i < format.size() && format.at(i) == QLatin1Char('y')) {
            ++run;
            continue;
        }
        if (run == 2)
            return true;
        run = 0;
    }
    return false;
}

// The locale's long time format without its time zone field ("h:mm:ss AP t" gives "h:mm:ss AP",
// "t HH:mm:ss" gives "HH:mm:ss"): a log line's time is the wall clock's, and a zone name would not
// read back. Quoted text is left as it stands.
QString timeFormatOf(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t')) {
            kept += c;
            continue;
        }
        while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('t'))
            ++i;
        // The blank that set the zone apart goes with it.
        if (!kept.isEmpty() && kept.back().isSpace())
            kept.chop(1);
        else if (i + 1 < format.size() && format.at(i + 1).isSpace())
            ++i;
    }
    return kept.trimmed();
}

} // namespace

Stamp stampOf(const QDateTime &moment, const QLocale &locale)
{
    return {locale.toString(moment.date(), QLocale::ShortFormat),
            locale.toString(moment.time(), timeFormatOf(locale))};
}

std::optional<QDateTime> momentOf(const Stamp &stamp, const QLocale &locale)
{
    return StampReader(locale).read(stamp);
}

StampReader::StampReader(const QLocale &locale)
    : m_locale(locale), m_timeFormat(timeFormatOf(locale)),
      m_twoDigitYear(twoDigitYear(m_locale.dateFormat(QLocale::ShortFormat)))
{}

std::optional<QDateTime> StampReader::read(const Stamp &stamp)
{
    if (stamp.date != m_dateText || m_dateText.isNull()) {
        m_dateText = stamp.date;
        m_date = m_locale.toDate(stamp.date, QLocale::ShortFormat);
        if (m_date.isValid() && m_date.year() < 2000 && m_twoDigitYear)
            m_date = m_date.addYears(100);
    }
    if (stamp.time != m_timeText || m_timeText.isNull()) {
        m_timeText = stamp.time;
        m_time = m_locale.toTime(stamp.time, m_timeFormat);
    }
    if (!m_date.isValid() || !m_time.isValid())
        return std::nullopt;
    return QDateTime(m_date, m_time);
}

} // namespace runin
