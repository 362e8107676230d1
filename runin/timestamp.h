#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace runin {

// The date and time texts of the running-in test's lines: the system locale's short date and
// short time. Made only here, so that whatever reads the logs back can parse them with the same
// locale formats.
struct Stamp
{
    QString date;
    QString time;
};

Stamp stampOf(const QDateTime &moment, const QLocale &locale = QLocale::system());

} // namespace runin
