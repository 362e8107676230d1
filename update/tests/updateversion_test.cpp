// Reading the update server's version line and comparing it with this program's version.
#include "update/updateversion.h"

#include <gtest/gtest.h>

namespace {

using update::Version;

TEST(UpdateVersion, TheFirstFieldThatDiffersDecides)
{
    const struct
    {
        Version remote;
        Version own;
        bool due;
    } pairs[] = {{{2, 0, 0}, {1, 9, 9}, true},  {{1, 3, 0}, {1, 2, 9}, true},
                 {{1, 2, 9}, {1, 3, 0}, false}, {{1, 2, 10}, {1, 2, 9}, true},
                 {{1, 2, 0}, {1, 2, 0}, false}, {{0, 9, 9}, {1, 2, 0}, false},
                 {{1, 2, 1}, {1, 2, 0}, true},  {{-1, 5, 5}, {1, 2, 0}, false}};
    for (const auto &pair : pairs) {
        EXPECT_EQ(update::updateDue(pair.remote, pair.own), pair.due)
            << pair.remote.major << "." << pair.remote.minor << "." << pair.remote.revision;
    }
}

TEST(UpdateVersion, AWellFormedLineGivesItsThreeNumbers)
{
    const struct
    {
        const char *text;
        Version version;
    } lines[] = {{"1.2.10", {1, 2, 10}},
                 {" 1 . 2\t. 3 ", {1, 2, 3}},
                 // The revision is everything after the second point, rounded down.
                 {"1.2.3.4", {1, 2, 3}},
                 {"1.2.-0.5", {1, 2, -1}},
                 {"+1.02.007", {1, 2, 7}},
                 {"1.5..9", {1, 5, 0}},
                 // Summed digit by digit: a long fraction never rounds up, however close to 1.
                 {"1.2.0.99999999999999999999", {1, 2, 0}},
                 {"1.2.-0.00000000000000000001", {1, 2, -1}},
                 {"32767.-32768.0", {32767, -32768, 0}}};
    for (const auto &line : lines) {
        const auto parsed = update::parseVersionLine(line.text);
        ASSERT_TRUE(parsed) << parsed.error();
        EXPECT_EQ(*parsed, line.version) << line.text;
    }
}

TEST(UpdateVersion, AMalformedLineSaysWhatIsWrong)
{
    for (const char *line :
         {"1.2", "", "120", "1..0", ".2.0", "1.2.", "1.a.0", "1.2.0x", "1.2.0 1", "32768.0.0",
          "1.-32769.0", "99999999999999999999.0.0", "1.2.-", "1.2.1e1", "1.0x1.0"}) {
        const auto parsed = update::parseVersionLine(line);
        ASSERT_FALSE(parsed) << line;
        EXPECT_NE(parsed.error().find(std::string("\"") + line + "\""), std::string::npos)
            << parsed.error();
    }
    EXPECT_EQ(update::parseVersionLine("1.2").error(),
              "the version line \"1.2\" does not have two points");
    EXPECT_EQ(update::parseVersionLine("1.x.0").error(),
              "the minor number \"x\" of the version line \"1.x.0\" is not a number");
    EXPECT_EQ(update::parseVersionLine("32768.0.0").error(),
              "the major number \"32768\" of the version line \"32768.0.0\" is out of range");
    EXPECT_EQ(update::parseVersionLine("1.2. ").error(),
              "the revision number \" \" of the version line \"1.2. \" is empty");
}

} // namespace
