#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace runin {

// The date and time texts of the running-in test's lines: the system locale's short date and its
// long time without the time zone (with seconds, so that the lines of one minute keep apart).
// Made and read back only here, so that the logs' reader parses them with the very formats they
// were written in.
struct Stamp
{
    QString date;
    QString time;
};

Stamp stampOf(const QDateTime &moment, const QLocale &locale = QLocale::system());

// The moment a stamp was written at, or none when either text does not read in `locale`'s
// formats (a log written under another locale). A two-digit year is taken as 20yy: the logs are
// written by this program, never before 2000.
std::optional<QDateTime> momentOf(const Stamp &stamp, const QLocale &locale = QLocale::system());

// momentOf() for the many stamps of one log: the lines of a run share their date, and often their
// time, so each text is parsed only when it differs from the one before.
class StampReader
{
public:
    explicit StampReader(const QLocale &locale = QLocale::system());

    std::optional<QDateTime> read(const Stamp &stamp);

private:
    QLocale m_locale;
    QString m_timeFormat;
    bool m_twoDigitYear = false;
    QString m_dateText, m_timeText;
    QDate m_date;
    QTime m_time;
};

} // namespace runin
