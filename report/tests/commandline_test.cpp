// velmaro-report's command line: the command each line asks for, what goes together, the help.
#include "report/commands.h"

#include "testsupport/capture.h"

#include <gmock/gmock.h>

namespace report::test {
namespace {

using testing::HasSubstr;

struct Read
{
    std::variant<int, CommandLine> result;
    std::string out, err;
};

Read read(QStringList arguments)
{
    arguments.prepend(QStringLiteral("velmaro-report"));
    auto [result, out, err] = testsupport::captured(
        [&](std::FILE *o, std::FILE *e) { return readCommandLine(arguments, o, e); });
    return {std::move(result), std::move(out), std::move(err)};
}

TEST(CommandLine, EachLineAsksForItsCommand)
{
    const std::pair<QStringList, decltype(Command::function)> cases[] = {
        {{"--errors", "e.txt", "--cam", "Camma.txt", "-o", "r.pdf", "Log.txt"}, &reportCommand},
        {{"--runs", "--until", "2026-12-03", "--verdict", "fail", "--csv"}, &runsCommand},
        {{"--runs", "--serial", "none", "--axis", "iris", "--tests", "both", "--ending",
          "stopped by ABORT", "--week", "2026-W49"},
         &runsCommand},
        {{"--quality", "--station", "b"}, &qualityCommand},
        {{"--run", "3f2a", "-o", "x.pdf"}, &runReportCommand},
        {{"--run=latest", "--serial", "L-2 A/7", "--local"}, &runSerialCommand},
        {{"--history", "--since", "2026-11-01T06:00:00Z"}, &historyCommand},
        {{"--sync"}, &syncCommand},
        {{"--lens", "L-4711"}, &lensCommand},
        {{"--cams", "--serial", "L-1", "--since", "2026-12-01"}, &camsCommand},
        {{"--cam-record", "7c41", "-o", "Camma.txt", "--local"}, &camWriteCommand},
        {{"--cam-record", "latest", "--serial", "L-1"}, &camSerialCommand},
        {{"--cam-record", "latest", "--check"}, &camCheckCommand},
        {{"--cam-diff", "7c41", "b93a"}, &camDiffCommand},
    };
    for (const auto &[arguments, command] : cases) {
        const Read got = read(arguments);
        ASSERT_TRUE(std::holds_alternative<CommandLine>(got.result)) << got.err;
        EXPECT_EQ(std::get<CommandLine>(got.result).command->function, command) << got.out;
    }
    // --until takes the whole of its day; the serial of --run is the one to give, not a filter.
    const auto runs = std::get<CommandLine>(read(cases[1].first).result);
    EXPECT_EQ(runs.filter.until, QDate(2026, 12, 4).startOfDay());
    EXPECT_TRUE(std::get<CommandLine>(read(cases[5].first).result).filter.serial.isEmpty());
    const auto chosen = std::get<CommandLine>(read(cases[2].first).result).filter;
    EXPECT_TRUE(chosen.withoutSerial && chosen.serial.isEmpty());
    EXPECT_EQ(std::tie(chosen.axis, chosen.tests, chosen.ending, chosen.week),
              std::tuple(2, QString("Single Step, Full stroke"), QString("stopped by ABORT"),
                         QString("2026-W49")));
}

TEST(CommandLine, AWrongLineExitsWith2AndSaysWhatIsWrong)
{
    const std::pair<QStringList, const char *> cases[] = {
        {{}, "give one LOG_COMPLETE"},
        {{"a.txt", "b.txt"}, "give one LOG_COMPLETE"},
        {{"--colour", "a.txt"}, "Unknown option 'colour'"},
        {{"--runs", "a.txt"}, "\"a.txt\" is not wanted with the run records"},
        {{"--runs", "--cams"},
         "give one of --runs, --run, --history, --sync, --lens, --cams, "
         "--cam-record, --cam-diff and --quality"},
        {{"--history", "--station", "h"}, "--station goes with --runs, --cams or --quality"},
        {{"--sync", "--serial", "S"},
         "--serial goes with --runs, --run, --cams, --cam-record or --quality"},
        {{"--run", "latest", "--since", "2026-01-01"},
         "--since goes with --runs, --cams, --history or --quality"},
        {{"--history", "--csv"}, "--csv goes with --runs or --quality"},
        {{"--quality", "--verdict", "good"}, "--verdict: 'good' is not pass or fail"},
        {{"--runs", "--week", "2026-W60"}, "--week: '2026-W60' is not an ISO week YYYY-Www"},
        {{"--history", "--axis", "iris"}, "--axis goes with --runs or --quality"},
        {{"--quality", "--until", "2026-02-30"}, "--until: '2026-02-30' is not a date YYYY-MM-DD"},
        {{"--runs", "-o", "x.pdf"}, "-o goes with --run ID, --cam-record ID or --history"},
        {{"--run", "latest", "--serial", "S", "-o", "x.pdf"}, "-o goes with --run ID,"},
        {{"--runs", "--cam", "Camma.txt"}, "--cam goes with LOG_COMPLETE"},
        {{"--local", "a.txt"}, "--local goes with the stored records"},
        {{"--lens", "--local"}, "--local goes with the stored records"},
        {{"--runs", "--since", "yesterday"}, "--since: 'yesterday' is not a date YYYY-MM-DD"},
        {{"--run", "latest", "--serial", "  "}, "--serial: the lens serial \"  \" begins with"},
        {{"--cam-record", "latest", "--serial", ""}, "--serial: the lens serial is empty"},
        {{"--lens", "L-1 "}, "--lens: the lens serial \"L-1 \" ends with a blank"},
        {{"--lens", "L-1", "L-2"}, "\"L-2\" is not wanted"},
        {{"--cam-record", "latest"}, "--cam-record ID needs -o FILE, --serial S or --check"},
        {{"--runs", "--check"}, "--check goes with --cam-record ID"},
        {{"--cam-diff", "7c41"}, "--cam-diff needs two ids"},
    };
    for (const auto &[arguments, message] : cases) {
        const Read got = read(arguments);
        ASSERT_TRUE(std::holds_alternative<int>(got.result)) << message;
        EXPECT_EQ(std::get<int>(got.result), kCannotRead) << message;
        EXPECT_THAT(got.err, HasSubstr(std::string("velmaro-report: ") + message));
        EXPECT_THAT(got.err, HasSubstr("Try 'velmaro-report --help'."));
        EXPECT_TRUE(got.out.empty());
    }
}

TEST(CommandLine, HelpListsTheReportsOptionsAndEveryStoredRunsCommand)
{
    for (const QStringList &arguments :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--runs", "--help"}}) {
        const Read got = read(arguments);
        ASSERT_TRUE(std::holds_alternative<int>(got.result));
        EXPECT_EQ(std::get<int>(got.result), kDone);
        EXPECT_THAT(got.out, HasSubstr("LOG_COMPLETE"));
        EXPECT_THAT(got.out, HasSubstr("--errors <LOG_ERRORS>"));
        EXPECT_THAT(got.out, HasSubstr("\n  --run ID|latest --serial S                         "
                                       "gives the run its lens serial\n"));
        EXPECT_THAT(got.out, HasSubstr("\n  --local                                            "
                                       "reads this station's own records\n"));
        EXPECT_THAT(got.out, HasSubstr("\n  --cam-diff ID1 ID2  "));
        // The stored runs' options are listed by command, not again among Qt's.
        EXPECT_THAT(got.out, testing::Not(HasSubstr("--station <H>")));
    }
    const Read version = read({"--version"});
    EXPECT_THAT(version.out, testing::StartsWith("velmaro-report "));
}

} // namespace
} // namespace report::test
