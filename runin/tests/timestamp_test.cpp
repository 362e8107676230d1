// The log's date and time texts read back with the formats they were written in.
#include "runin/timestamp.h"

#include "testsupport/qtprint.h"

#include <gtest/gtest.h>

namespace runin::test {
namespace {

TEST(Timestamp, ReadsBackWhatItWroteInThisCenturyAndOnlyInItsOwnLocale)
{
    const QDateTime written{QDate(2026, 3, 4), QTime(17, 6, 7)};
    // C writes seconds and a four-digit year; the others drop the seconds, and en_US, de_DE and
    // ko_KR write the year with two digits, which Qt alone would read as 1926.
    for (const char *name : {"C", "en_US", "de_DE", "ko_KR", "ar_EG"}) {
        const QLocale locale{QString::fromLatin1(name)};
        const auto moment = momentOf(stampOf(written, locale), locale);
        ASSERT_TRUE(moment.has_value()) << name;
        EXPECT_EQ(moment->date(), written.date()) << name;
        const bool seconds = locale.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('s'));
        EXPECT_EQ(moment->time(), seconds ? written.time() : QTime(17, 6)) << name;
    }
    const QLocale us{QStringLiteral("en_US")};
    EXPECT_EQ(momentOf({QStringLiteral("12/31/99"), QStringLiteral("11:59 PM")}, us),
              QDateTime(QDate(2099, 12, 31), QTime(23, 59)));
    EXPECT_FALSE(momentOf(stampOf(written, us), QLocale(QStringLiteral("de_DE"))).has_value());
    EXPECT_FALSE(momentOf({QString(), QStringLiteral("17:06:07")}, QLocale::c()).has_value());
}

} // namespace
} // namespace runin::test
