#include "sim/options.h"

#include <gtest/gtest.h>

namespace sim::test {
namespace {

// The command line as the program receives it: its own name first, then the words.
ParsedOptions parse(const QString &line, const char *environment = nullptr)
{
    QStringList arguments{QStringLiteral("velmaro-sim")};
    arguments += line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parseOptions(arguments, environment);
}

TEST(SimOptions, AllFaultsAndSettings)
{
    const auto parsed =
        parse("--port-dir /tmp/p --port=7 --log /tmp/l --not-initialised --alarm 4 --silent "
              "--delay 25 --garbage --large-error-every 5 --drop-after 900 --time-scale 2.5 "
              "--seed 42");
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

TEST(SimOptions, DefaultsLeaveEveryFaultOff)
{
    const auto parsed = parse("--port-dir /tmp/p");
    ASSERT_EQ(parsed.error, "");
    const Options &o = parsed.options;
    EXPECT_EQ(o.port, 1);
    EXPECT_EQ(o.logFile, "");
    EXPECT_FALSE(o.faults.notInitialised);
    EXPECT_FALSE(o.faults.alarm.has_value());
    EXPECT_FALSE(o.faults.dropAfter.has_value());
    EXPECT_DOUBLE_EQ(o.timeScale, 1.0);
    EXPECT_EQ(o.seed, 1U);
}

TEST(SimOptions, PortFolderComesFromTheEnvironmentUnlessGiven)
{
    EXPECT_EQ(parse("", "/env").options.portDir, "/env");
    EXPECT_EQ(parse("--port-dir /arg", "/env").options.portDir, "/arg");
    EXPECT_NE(parse("").error, "");
}

TEST(SimOptions, BadCommandLinesSayWhatIsWrong)
{
    const std::pair<const char *, const char *> cases[] = {
        {"--port 0", "--port wants a whole number from 1 to 255, not '0'"},
        {"--port 256", "--port wants a whole number from 1 to 255, not '256'"},
        {"--port x", "--port wants a whole number from 1 to 255, not 'x'"},
        {"--alarm 10", "--alarm wants a whole number from 0 to 9, not '10'"},
        {"--delay -1", "--delay wants a whole number from 0 to 3600000, not '-1'"},
        {"--time-scale 0", "--time-scale wants a positive number, not '0'"},
        {"--time-scale nan", "--time-scale wants a positive number, not 'nan'"},
        {"--port-dir=", "--port-dir wants a folder"},
        {"--silent=1", "Unexpected value after '--silent'."},
        {"--seed", "Missing value after '--seed'."},
        {"--frobnicate", "Unknown option 'frobnicate'."},
        {"COM3", "takes no arguments, was given 'COM3'"},
    };
    for (const auto &[line, error] : cases) {
        const auto parsed = parse(QString::fromLatin1(line), "/env");
        EXPECT_EQ(parsed.error, error) << line;
        EXPECT_FALSE(parsed.help);
    }
}

TEST(SimOptions, HelpListsEveryOptionAndWinsOverTheRest)
{
    const auto parsed = parse("--port 3 --help");
    ASSERT_TRUE(parsed.help);
    for (const char *option :
         {"--port-dir <DIR>", "--port <N>", "--log <FILE>", "--not-initialised", "--alarm <N>",
          "--silent", "--delay <MS>", "--garbage", "--large-error-every <N>", "--drop-after <MS>",
          "--time-scale <F>", "--seed <N>", "--version"})
        EXPECT_NE(parsed.helpText.find(option), std::string::npos) << option;
    EXPECT_TRUE(parse("-v").version);
}

} // namespace
} // namespace sim::test
