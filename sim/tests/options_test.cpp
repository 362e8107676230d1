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

TEST(SimOptions, ThePortFolderComesFromTheEnvironmentUnlessGiven)
{
    EXPECT_EQ(parse("", "/env")->options.portDir, "/env");
    EXPECT_EQ(parse("--port-dir /arg --port=7", "/env")->options.portDir, "/arg");
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
