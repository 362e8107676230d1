#include "sim/options.h"

#include <gtest/gtest.h>

namespace sim::test {
namespace {

// The command line as the program receives it: its own name first, then the words.
base::Result<ParsedOptions> parse(const QString &line, const char *environment = nullptr)
{
    QStringList arguments{QStringLiteral("velmaro-sim")};
    arguments += line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parseOptions(arguments, environment);
}

TEST(SimOptions, EveryFaultAndSettingAndTheirDefaults)
{
    const auto parsed =
        parse("--port-dir /tmp/p --port=7 --log /tmp/l --not-initialised --alarm 4 --silent "
              "--delay 25 --garbage --large-error-every 5 --drop-after 900 --time-scale 2.5 "
              "--seed 42");
    ASSERT_TRUE(parsed) << parsed.error();
    const Options &o = parsed->options;
    EXPECT_EQ(o.portDir, "/tmp/p");
    EXPECT_EQ(o.port, 7);
    EXPECT_EQ(o.logFile, "/tmp/l");
    EXPECT_TRUE(o.faults.notInitialised && o.faults.silent && o.faults.garbage);
    EXPECT_EQ(o.faults.alarm, 4);
    EXPECT_EQ(o.faults.replyDelay, platform::Millis(25));
    EXPECT_EQ(o.faults.largeErrorEvery, 5);
    EXPECT_EQ(o.faults.dropAfter, platform::Millis(900));
    EXPECT_DOUBLE_EQ(o.timeScale, 2.5);
    EXPECT_EQ(o.seed, 42U);

    // The port folder comes from the environment unless given.
    const Options plain = parse("", "/env")->options;
    EXPECT_EQ(plain.portDir, "/env");
    EXPECT_EQ(plain.port, 1);
    EXPECT_FALSE(plain.faults.notInitialised || plain.faults.alarm || plain.faults.dropAfter);
    EXPECT_DOUBLE_EQ(plain.timeScale, 1.0);
    EXPECT_EQ(parse("--port-dir /arg", "/env")->options.portDir, "/arg");
    EXPECT_FALSE(parse(""));
}

TEST(SimOptions, BadCommandLinesSayWhatIsWrong)
{
    const std::pair<const char *, const char *> cases[] = {
        {"--port 256", "--port wants a whole number from 1 to 255, not '256'"},
        {"--time-scale nan", "--time-scale wants a positive number, not 'nan'"},
        {"--silent=1", "Unexpected value after '--silent'."},
        {"--frobnicate", "Unknown option 'frobnicate'."},
        {"COM3", "takes no arguments, was given 'COM3'"},
    };
    for (const auto &[line, error] : cases) {
        const auto parsed = parse(QString::fromLatin1(line), "/env");
        ASSERT_FALSE(parsed) << line;
        EXPECT_EQ(parsed.error(), error) << line;
    }

    const auto help = parse("--port 3 --help");
    ASSERT_TRUE(help && help->help);
    for (const char *option : {"--port-dir <DIR>", "--large-error-every <N>", "--version"})
        EXPECT_NE(help->helpText.find(option), std::string::npos) << option;
}

} // namespace
} // namespace sim::test
