// A running-in log summed up: step test moves and errors, cycles, unreadable lines, an empty log.
#include "runlog/runlog.h"
#include "runlog/summary.h"

#include "testsupport/logmaker.h"
#include "testsupport/qtprint.h"

#include <gmock/gmock.h>

namespace runlog::test {
namespace {

using namespace runin;
using testing::ElementsAre;
using testing::Field;
using testsupport::LogMaker;
using testsupport::stepTestLog;

std::size_t at(Axis axis)
{
    return static_cast<std::size_t>(axis);
}
int moves(const Summary &summary, Axis axis, TestName test)
{
    return summary.moves.at(at(axis)).at(static_cast<std::size_t>(test));
}

// The step test's first line, duration, ascending moves and errors are read off the report's page
// one in pdf_test; here what the page does not show.
TEST(RunLog, StepTestSumsUpTheDescendingMovesAndKeepsEveryPosition)
{
    LogMaker maker;
    const RunLog log =
        readLog(stepTestLog(maker), QStringLiteral("Log Complete.txt"), QLocale::c());
    EXPECT_TRUE(log.unreadable.empty());
    const Summary summary = summarise(log);
    EXPECT_EQ(summary.lines, 2 * 171 + 11 + 201 + 3);
    EXPECT_EQ(moves(summary, Axis::Zoom2, TestName::StepDescending), 85);
    EXPECT_EQ(moves(summary, Axis::Iris, TestName::StepDescending), 5);
    EXPECT_EQ(summary.errors.at(at(Axis::Zoom2)).count, 1);
    EXPECT_EQ(durationText(*summary.durationMs), QStringLiteral("0 h 27 min 48 s"));
}

TEST(RunLog, FullStrokeCountsCompletedCyclesOnly)
{
    LogMaker log;
    log.cycle();
    log.cycle();
    log.zoom(kStrokeAscending, 500);               // aborted in the third cycle
    log.error(kFocusAxis, kStrokeAscending, "10"); // 10 is not beyond the threshold
    const Summary summary = summarise(readLog(log.bytes, QStringLiteral("log"), QLocale::c()));
    EXPECT_EQ(summary.completedCycles, 2);
    EXPECT_EQ(moves(summary, Axis::Zoom1, TestName::StrokeAscending), 3);
    EXPECT_EQ(moves(summary, Axis::Focus, TestName::StrokeAscending), 2);
    EXPECT_EQ(summary.errors.at(at(Axis::Focus)).count, 0);
}

TEST(RunLog, LinesThatDoNotReadAreListedTheRestCountsAndAnEmptyLogHasNothing)
{
    LogMaker log;
    log.zoom(kStepAscending, 75);                  // 1, 2
    log.add(QStringLiteral("garbage"));            // 3
    log.reached(kIrisAxis, kStepAscending, "abc"); // 4
    log.add(log.stamp().date + QStringLiteral("  ") + log.stamp().time +
            QStringLiteral("  POSITION ERROR (12  Iris Axis Step test ascending")); // 5
    log.add(log.stamp().date + QStringLiteral("  ") + log.stamp().time +
            QStringLiteral("  Lens Axis Step test ascending  Position reached: 5")); // 6
    log.add(QString());                                                              // 7
    log.reached(kZoom2Axis, kStepAscending, "###"); // 8: counts, no position
    // 9: written under another locale: counts, its time unknown.
    log.add(runin::reachedLine(runin::stampOf(log.now, QLocale(QStringLiteral("de_DE"))), kIrisAxis,
                               kStepAscending, "2"));
    log.error(kIrisAxis, kStepAscending, "x1"); // 10

    const RunLog read = readLog(log.bytes, QStringLiteral("Log Complete.txt"), QLocale::c());
    EXPECT_THAT(read.unreadable,
                ElementsAre(Field(&Unreadable::line, 3), Field(&Unreadable::line, 4),
                            Field(&Unreadable::line, 5), Field(&Unreadable::line, 6),
                            Field(&Unreadable::line, 7), Field(&Unreadable::line, 10)));
    EXPECT_EQ(read.unreadable.at(1).why, QStringLiteral("the position \"abc\" is not a number"));
    EXPECT_EQ(read.unreadable.at(0).text, QStringLiteral("garbage"));

    ASSERT_EQ(read.entries.size(), 4u);
    EXPECT_FALSE(read.entries.at(2).value.has_value());
    EXPECT_EQ(read.entries.at(3).value, 2);
    EXPECT_FALSE(read.entries.at(3).moment.has_value()) << "another locale's time is unknown";

    const Summary summary = summarise(read);
    EXPECT_EQ(moves(summary, Axis::Iris, TestName::StepAscending), 1);
    EXPECT_TRUE(summary.first->moment.has_value());
    EXPECT_FALSE(summary.last->moment.has_value()); // unknown, not guessed
    EXPECT_FALSE(summary.durationMs.has_value());

    const Summary empty = summarise(readLog({}, QStringLiteral("Log Complete.txt")));
    EXPECT_EQ(empty.lines, 0);
    EXPECT_FALSE(empty.first.has_value() || empty.durationMs.has_value());
}

TEST(RunLog, TheErrorsLogIsComparedWithTheCompleteLog)
{
    LogMaker complete;
    complete.zoom(kStepAscending, 75);
    complete.error(kZoom1Axis, kStepAscending, "11");
    complete.zoom(kStepAscending, 80);
    complete.error(kZoom1Axis, kStepAscending, "12");
    LogMaker errors;
    errors.bytes = complete.bytes.split('\n').at(2) + "\n"; // the first error line only
    errors.now = complete.now;
    errors.error(kIrisAxis, kStepAscending, "13");
    errors.reached(kIrisAxis, kStepAscending, "1");

    const ErrorsCheck check =
        compareErrorLogs(readLog(complete.bytes, QStringLiteral("c"), QLocale::c()),
                         readLog(errors.bytes, QStringLiteral("e"), QLocale::c()));
    EXPECT_EQ(check.errorLines, 2);
    EXPECT_THAT(check.onlyInErrors, ElementsAre(2));
    EXPECT_THAT(check.onlyInComplete, ElementsAre(6));
    EXPECT_THAT(check.notErrorLines, ElementsAre(3));
}

} // namespace
} // namespace runlog::test
