// velmaro-report's one command line: which command each line asks for, what goes with what, and
// the help that lists every command.
#include "report/commands.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <memory>

namespace report::test {
namespace {

using testing::HasSubstr;

struct Read
{
    std::variant<int, CommandLine> result;
    std::string out, err;
};

std::string contentsOf(std::FILE *stream)
{
    std::rewind(stream);
    std::string text;
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
        text.push_back(static_cast<char>(c));
    return text;
}

Read read(QStringList arguments)
{
    arguments.prepend(QStringLiteral("velmaro-report"));
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> out(std::tmpfile(), &std::fclose);
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> err(std::tmpfile(), &std::fclose);
    Read read{readCommandLine(arguments, out.get(), err.get()), {}, {}};
    read.out = contentsOf(out.get());
    read.err = contentsOf(err.get());
    return read;
}

TEST(CommandLine, EachCommandIsTakenWithItsOwnOptions)
{
    const auto line = [](const QStringList &arguments) {
        const Read got = read(arguments);
        EXPECT_TRUE(std::holds_alternative<CommandLine>(got.result)) << got.err;
        return std::holds_alternative<CommandLine>(got.result) ? std::get<CommandLine>(got.result)
                                                               : CommandLine{};
    };
    const CommandLine report =
        line({"--errors", "e.txt", "--cam", "Camma.txt", "-o", "r.pdf", "Log Complete.txt"});
    EXPECT_EQ(report.command->function, &reportCommand);
    EXPECT_EQ(report.log, QStringLiteral("Log Complete.txt"));
    EXPECT_EQ(report.errors, QStringLiteral("e.txt"));
    EXPECT_EQ(report.cam, QStringLiteral("Camma.txt"));
    EXPECT_EQ(report.output, QStringLiteral("r.pdf"));

    const CommandLine runs =
        line({"--runs", "--serial", "L-1", "--station", "bench-2", "--since", "2026-12-01",
              "--until", "2026-12-03", "--operator", "anna", "--verdict", "fail", "--csv"});
    EXPECT_EQ(runs.command->function, &runsCommand);
    EXPECT_EQ(runs.serial, QStringLiteral("L-1"));
    EXPECT_EQ(runs.station, QStringLiteral("bench-2"));
    EXPECT_EQ(runs.since, QDate(2026, 12, 1).startOfDay().toUTC());
    EXPECT_EQ(runs.filter.serial, QStringLiteral("L-1"));
    EXPECT_EQ(runs.filter.station, QStringLiteral("bench-2"));
    EXPECT_EQ(runs.filter.since, QDate(2026, 12, 1).startOfDay());
    EXPECT_EQ(runs.filter.until, QDate(2026, 12, 4).startOfDay()); // the whole of the 3rd
    EXPECT_EQ(runs.filter.operatorName, QStringLiteral("anna"));
    EXPECT_EQ(runs.filter.verdict, runs::Verdict::Fail);
    EXPECT_TRUE(runs.csv);
    EXPECT_EQ(line({"--quality", "--station", "b"}).command->function, &qualityCommand);
    EXPECT_FALSE(runs.local);

    EXPECT_EQ(line({"--run", "3f2a", "-o", "x.pdf"}).command->function, &runReportCommand);
    const CommandLine serial = line({"--run=latest", "--serial", "L-2 A/7", "--local"});
    EXPECT_EQ(serial.command->function, &runSerialCommand);
    EXPECT_EQ(serial.run, QStringLiteral("latest"));
    EXPECT_TRUE(serial.filter.serial.isEmpty()); // the serial to give, not a filter
    EXPECT_TRUE(serial.local);
    EXPECT_EQ(line({"--history", "--since", "2026-11-01T06:00:00Z"}).since,
              QDateTime(QDate(2026, 11, 1), QTime(6, 0), Qt::UTC));
    EXPECT_EQ(line({"--sync"}).command->function, &syncCommand);

    EXPECT_EQ(line({"--lens"}).lens, std::nullopt);
    EXPECT_EQ(line({"--lens", "none"}).lens, QStringLiteral("none"));
    EXPECT_EQ(line({"--lens", "L-4711"}).command->function, &lensCommand);
    EXPECT_EQ(line({"--cams", "--serial", "L-1", "--since", "2026-12-01"}).command->function,
              &camsCommand);
    const CommandLine written = line({"--cam-record", "7c41", "-o", "Camma.txt", "--local"});
    EXPECT_EQ(written.command->function, &camWriteCommand);
    EXPECT_EQ(written.camRecord, QStringLiteral("7c41"));
    EXPECT_EQ(line({"--cam-record", "latest", "--serial", "L-1"}).command->function,
              &camSerialCommand);
    EXPECT_EQ(line({"--cam-record", "latest", "--check"}).command->function, &camCheckCommand);
    const CommandLine diff = line({"--cam-diff", "7c41", "b93a"});
    EXPECT_EQ(diff.command->function, &camDiffCommand);
    EXPECT_EQ(std::pair(diff.camRecord, diff.otherCamRecord),
              std::pair(QStringLiteral("7c41"), QStringLiteral("b93a")));
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
