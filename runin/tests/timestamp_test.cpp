// The log's date and time texts read back with the formats they were written in.
#include "runin/timestamp.h"

#include "testsupport/qtprint.h"

#include <gtest/gtest.h>

#include <map>

namespace runin::test {
namespace {

TEST(Timestamp, WritesSecondsWithoutAZone_AndReadsBackWhatItWroteInThisCenturyAndOnlyInItsOwnLocale)
{
    const QDateTime written{QDate(2026, 3, 4), QTime(17, 6, 7)};
    const std::map<QString, Stamp> expected = {
        {"C", {"4 Mar 2026", "17:06:07"}},
        {"en_US", {"3/4/26", "5:06:07 PM"}},
        {"it_IT", {"04/03/26", "17:06:07"}},
    };
    for (const auto &[name, stamp] : expected) {
        const Stamp made = stampOf(written, QLocale(name));
        EXPECT_EQ(made.date, stamp.date) << name.toStdString();
        EXPECT_EQ(made.time, stamp.time) << name.toStdString();
    }
    // Two-digit years (en_US, it_IT, de_DE, ko_KR), which Qt alone would read as 1926; a zone
    // that comes first (zh_CN); words around the numbers (ko_KR, fr_CA, bg_BG).
    for (const char *name :
         {"C", "en_US", "it_IT", "de_DE", "ko_KR", "ar_EG", "zh_CN", "fr_CA", "bg_BG"}) {
        const QLocale locale{QString::fromLatin1(name)};
        const Stamp stamp = stampOf(written, locale);
        EXPECT_FALSE(stamp.time.startsWith(QLatin1Char(' ')) || stamp.time.endsWith(' ')) << name;
        EXPECT_EQ(momentOf(stamp, locale), written) << name << " " << stamp.time.toStdString();
    }
    const QLocale us{QStringLiteral("en_US")};
    EXPECT_EQ(momentOf({QStringLiteral("12/31/99"), QStringLiteral("11:59:58 PM")}, us),
              QDateTime(QDate(2099, 12, 31), QTime(23, 59, 58)));
    EXPECT_FALSE(momentOf(stampOf(written, us), QLocale(QStringLiteral("de_DE"))).has_value());
    EXPECT_FALSE(momentOf({QString(), QStringLiteral("17:06:07")}, QLocale::c()).has_value());
}

} // namespace
} // namespace runin::test
