// The error report and the logs: threshold, each line's exact bytes and place, unwritable logs.
#include "runinfixture.h"

#include <gmock/gmock.h>

#include <unistd.h>

namespace runin::test {
namespace {

using testing::ElementsAre;

class Report : public SequencerFixture
{
protected:
    // Runs the step test until its first zoom move has ended with these error answers.
    void firstZoomMove(const std::string &zoom1Error, const std::string &zoom2Error = " 1.0000")
    {
        onScript().errors = {{"A", zoom1Error}, {"B", zoom2Error}};
        sequencer->start(true);
        ASSERT_TRUE(firstMoveEnded());
    }
};

TEST_F(Report, ErrorsBeyondTenGoToTheListAndBothFilesAlikeWithThreeTones)
{
    for (const char *small : {" 10.0000", "-10.0000", "garbage"}) {
        firstZoomMove(small, small);
        EXPECT_TRUE(view.list.empty()) << small;
        EXPECT_TRUE(logLines(LogFiles::kErrors).empty()) << small;
    }
    EXPECT_TRUE(tone.beeps.empty());
    firstZoomMove(" 11.0000", "-11.0000");

    // Each error stands after the reached line of its own axis.
    const QByteArray date = stamp().date.toLocal8Bit(), time = stamp().time.toLocal8Bit();
    const QByteArray at = date + "  " + time + "  ";
    const QByteArray error1 = at + "POSITION ERROR (11)  Zoom 1 Axis Step test ascending";
    const QByteArray error2 = at + "POSITION ERROR (-11)  Zoom 2 Axis Step test ascending";
    QFile complete(LogFiles::kComplete), errors(LogFiles::kErrors);
    ASSERT_TRUE(complete.open(QIODevice::ReadOnly) && errors.open(QIODevice::ReadOnly));
    EXPECT_EQ(errors.readAll(), error1 + "\r\n" + error2 + "\r\n");
    EXPECT_EQ(complete.readAll(),
              at + "Zoom 1 Axis Step test ascending  Position reached: 1000\r\n" + error1 + "\r\n" +
                  at + "Zoom 2 Axis Step test ascending  Position reached: -500\r\n" + error2 +
                  "\r\n");
    EXPECT_THAT(view.list,
                ElementsAre(QString::fromLocal8Bit(error1), QString::fromLocal8Bit(error2)));

    using Beep = std::tuple<int, platform::Millis, platform::Millis>;
    ASSERT_EQ(tone.beeps.size(), 6U);
    const platform::Millis end = std::get<2>(tone.beeps.at(0)), second{1000};
    EXPECT_THAT(std::vector<Beep>(tone.beeps.begin(), tone.beeps.begin() + 3),
                ElementsAre(Beep{1000, second, end},
                            Beep{1000, second, end + second + platform::Millis(20)},
                            Beep{1000, second, end + 2 * (second + platform::Millis(20))}));
}

TEST_F(Report, ProgressCountsEachAxisErrorsAtTheStartAfterEachStepAndBeforeTheEnd)
{
    auto &script = onScript();
    script.errors = {{"A", " 11.0000"}, {"B", "-12.0000"}};
    std::vector<RunSoFar> told;
    std::size_t toldAtEnd = 0;
    sequencer->setProgressHandler([&told](const RunSoFar &soFar) { told.push_back(soFar); });
    sequencer->setEndHandler([&](RunEnding, std::int32_t) { toldAtEnd = told.size(); });
    clock.advance(platform::Millis(5000));
    sequencer->start(true);
    ASSERT_TRUE(firstMoveEnded());
    // Within the limit on Zoom 1, above it on Zoom 2: only Zoom 2 counts again.
    script.errors["A"] = "-10.0000";
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().StepIndex == 3; }));
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().Phase != RunPhase::AwaitingMove; }));
    sequencer->abort();
    ASSERT_EQ(told.size(), 4U);
    EXPECT_EQ(told[0], (RunSoFar{0, {}, {}, platform::Millis(5000)}));
    EXPECT_EQ(told[1].errors, (std::array<int, 4>{1, 1, 0, 0}));
    EXPECT_EQ(told[1].lastStep, kNow.toUTC());
    EXPECT_GT(told[1].clock, told[0].clock);
    EXPECT_EQ(told[2].errors, (std::array<int, 4>{1, 2, 0, 0}));
    // The end comes after a last count of what the run did in all.
    EXPECT_EQ(toldAtEnd, 4U);
    EXPECT_EQ(told[3], told[2]);
}

TEST_F(Report, AMissingWorkingDirectoryIsToldOnceAndTheRunGoesOn)
{
    // A removed working directory stops every writer, root included.
    const QString gone = QDir::currentPath() + "/gone";
    ASSERT_TRUE(QDir().mkdir(gone) && QDir::setCurrent(gone));
    ASSERT_EQ(::rmdir(gone.toLocal8Bit().constData()), 0);

    firstZoomMove(" 40.0000");
    ASSERT_TRUE(tickUntil([this] {
        return sequencer->state().StepIndex == 4 &&
               sequencer->state().Phase != RunPhase::AwaitingMove;
    }));
    const QString error = errorLine(stamp(), "40", kZoom1Axis, kStepAscending);
    const QString tail = " cannot be written (No such file or directory); the test goes on "
                         "without it.";
    EXPECT_THAT(view.list,
                ElementsAre(noteLine(stamp(), "\"Log Errors.txt\"" + tail),
                            noteLine(stamp(), "\"Log Complete.txt\"" + tail), error, error, error));
}

} // namespace
} // namespace runin::test
