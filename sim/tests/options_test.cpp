#include "sim/options.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace sim::test {
namespace {

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(SimOptions, AllFaultsAndSettings)
{
    const auto parsed = parseOptions(
        words("--port-dir /tmp/p --port=7 --log /tmp/l --not-initialised --alarm 4 --silent "
              "--delay 25 --garbage --large-error-every 5 --drop-after 900 --time-scale 2.5 "
              "--seed 42"),
        nullptr);
    ASSERT_EQ(parsed.error, "");
    const Options &o = parsed.options;
    EXPECT_EQ(o.portDir, "/tmp/p");
    EXPECT_EQ(o.port, 7);
    EXPECT_EQ(o.logFile, "/tmp/l");
    EXPECT_TRUE(o.faults.notInitialised);
    EXPECT_EQ(o.faults.alarm, 4);
    EXPECT_TRUE(o.faults.silent);
    EXPECT_EQ(o.faults.replyDelay, comm::Millis(25));
    EXPECT_TRUE(o.faults.garbage);
    EXPECT_EQ(o.faults.largeErrorEvery, 5);
    EXPECT_EQ(o.faults.dropAfter, comm::Millis(900));
    EXPECT_DOUBLE_EQ(o.timeScale, 2.5);
    EXPECT_EQ(o.seed, 42U);
}

TEST(SimOptions, PortFolderComesFromTheEnvironmentUnlessGiven)
{
    EXPECT_EQ(parseOptions({}, "/env").options.portDir, "/env");
    EXPECT_EQ(parseOptions({"--port-dir", "/arg"}, "/env").options.portDir, "/arg");
    EXPECT_NE(parseOptions({}, nullptr).error, "");
}

TEST(SimOptions, BadCommandLinesSayWhatIsWrong)
{
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{"--port", "0"},
                                               {"--port", "256"},
                                               {"--port", "x"},
                                               {"--alarm", "10"},
                                               {"--delay", "-1"},
                                               {"--time-scale", "0"},
                                               {"--silent=1"},
                                               {"--seed"},
                                               {"--frobnicate"}}) {
        const auto parsed = parseOptions(args, "/env");
        EXPECT_NE(parsed.error, "") << args.front();
        EXPECT_FALSE(parsed.help);
    }
    EXPECT_TRUE(parseOptions({"--port", "3", "--help"}, nullptr).help);
}

} // namespace
} // namespace sim::test
