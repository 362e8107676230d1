// Reading the update server's version line and comparing it with this program's version.
#include "shell/updateversion.h"

#include <gtest/gtest.h>

namespace {

using shell::Version;

TEST(UpdateVersion, ThisReleaseIsOnePointTwoPointZero)
{
    EXPECT_EQ(shell::ownVersion(), (Version{1, 2, 0}));
}

struct Comparison
{
    Version remote;
    Version own;
    bool due;
};

class VersionComparison : public testing::TestWithParam<Comparison>
{
};

TEST_P(VersionComparison, TheFirstFieldThatDiffersDecides)
{
    EXPECT_EQ(shell::updateDue(GetParam().remote, GetParam().own), GetParam().due);
}

INSTANTIATE_TEST_SUITE_P(Pairs, VersionComparison,
                         testing::Values(Comparison{{2, 0, 0}, {1, 9, 9}, true},
                                         Comparison{{1, 3, 0}, {1, 2, 9}, true},
                                         Comparison{{1, 2, 9}, {1, 3, 0}, false},
                                         Comparison{{1, 2, 10}, {1, 2, 9}, true},
                                         Comparison{{1, 2, 0}, {1, 2, 0}, false},
                                         Comparison{{0, 9, 9}, {1, 2, 0}, false},
                                         Comparison{{1, 2, 1}, {1, 2, 0}, true},
                                         Comparison{{-1, 5, 5}, {1, 2, 0}, false}));

struct Line
{
    const char *text;
    Version version;
};

class WellFormedLine : public testing::TestWithParam<Line>
{
};

TEST_P(WellFormedLine, GivesItsThreeNumbers)
{
    const auto parsed = shell::parseVersionLine(GetParam().text);
    ASSERT_TRUE(parsed.version) << parsed.error;
    EXPECT_EQ(*parsed.version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WellFormedLine,
    testing::Values(Line{"1.2.10", {1, 2, 10}}, Line{" 1 . 2\t. 3 ", {1, 2, 3}},
                    // The revision is everything after the second point, rounded down.
                    Line{"1.2.3.4", {1, 2, 3}}, Line{"1.2.-0.5", {1, 2, -1}},
                    Line{"+1.02.007", {1, 2, 7}}, Line{"32767.-32768.0", {32767, -32768, 0}}));

class MalformedLine : public testing::TestWithParam<const char *>
{
};

TEST_P(MalformedLine, SaysWhatIsWrong)
{
    const auto parsed = shell::parseVersionLine(GetParam());
    EXPECT_FALSE(parsed.version);
    EXPECT_NE(parsed.error.find(std::string("\"") + GetParam() + "\""), std::string::npos)
        << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(Lines, MalformedLine,
                         testing::Values("1.2", "", "120", "1..0", ".2.0", "1.2.", "1.a.0",
                                         "1.2.0x", "1.2.0 1", "32768.0.0", "1.-32769.0",
                                         "99999999999999999999.0.0", "1.2.-"));

TEST(UpdateVersion, TheErrorNamesTheFieldAndTheReason)
{
    EXPECT_EQ(shell::parseVersionLine("1.2").error,
              "the version line \"1.2\" does not have two points");
    EXPECT_EQ(shell::parseVersionLine("1.x.0").error,
              "the minor number \"x\" of the version line \"1.x.0\" is not a number");
    EXPECT_EQ(shell::parseVersionLine("32768.0.0").error,
              "the major number \"32768\" of the version line \"32768.0.0\" is out of range");
    EXPECT_EQ(shell::parseVersionLine("1.2. ").error,
              "the revision number \" \" of the version line \"1.2. \" is empty");
}

} // namespace
