#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

#include <optional>

namespace runin {

// The date and time texts of the running-in test's lines: the system locale's short date and
// short time. Written and read back only through here, so that a reader of the logs parses them
// exactly as they were written.
struct Stamp
{
    QString date;
    QString time;
};

Stamp stampOf(const QDateTime &moment, const QLocale &locale = QLocale::system());

// The date or time a text of stampOf stands for; nothing when the text is not one. A two-digit
// year is taken as 20yy.
std::optional<QDate> parseDateText(const QString &text, const QLocale &locale = QLocale::system());
std::optional<QTime> parseTimeText(const QString &text, const QLocale &locale = QLocale::system());

} // namespace runin
