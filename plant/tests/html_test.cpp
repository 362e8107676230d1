// The page frame: times in a zone whose clocks go back, and the reload that a reader pauses.
#include "plant/html.h"

#include <gtest/gtest.h>

#include <ctime>

namespace plant {
namespace {

const bool kBerlin = [] {
    qputenv("TZ", "Europe/Berlin");
    tzset();
    return true;
}();

QDateTime utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

TEST(Html, ATimeInTheHourThatComesTwiceCarriesItsOffsetAndOnlyThere)
{
    EXPECT_EQ(localTime(utc("2026-10-25T00:30:00Z")), "2026-10-25 02:30:00 +02:00");
    EXPECT_EQ(localTime(utc("2026-10-25T01:30:00Z")), "2026-10-25 02:30:00 +01:00");
    EXPECT_EQ(clockTime(utc("2026-10-25T01:30:00Z")), "02:30 +01:00");
    EXPECT_EQ(localTime(utc("2026-10-25T02:00:00Z")), "2026-10-25 03:00:00");
    EXPECT_EQ(localTime(utc("2026-03-29T01:30:00Z")), "2026-03-29 03:30:00"); // clocks go forward
    EXPECT_EQ(zoneLine(utc("2026-10-25T01:30:00Z")), "Times in Europe/Berlin (UTC+01:00)");
    EXPECT_EQ(zoneLine(utc("2026-10-25T00:30:00Z")), "Times in Europe/Berlin (UTC+02:00)");
}

TEST(Html, APausedPageKeepsItsQueryAndReloadsNoMore)
{
    Address here{QStringLiteral("/"), {{QStringLiteral("station"), QStringLiteral("a b&c")}}};
    const QString reloading =
        QString::fromUtf8(page("Now", Section::Now, "<table></table>", &here));
    EXPECT_TRUE(reloading.contains("http-equiv=\"refresh\""));
    EXPECT_TRUE(reloading.contains("href=\"/?reload=0&amp;station=a%20b%26c\">Pause reload"));
    EXPECT_TRUE(reloading.contains("<div class=\"scroll\"><table></table></div>"));
    here.params.insert(QStringLiteral("reload"), QStringLiteral("0"));
    const QString paused = QString::fromUtf8(page("Now", Section::Now, {}, &here));
    EXPECT_FALSE(paused.contains("http-equiv=\"refresh\""));
    EXPECT_TRUE(paused.contains("href=\"/?station=a%20b%26c\">Resume reload"));
}

} // namespace
} // namespace plant
