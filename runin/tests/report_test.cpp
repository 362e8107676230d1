// The error report and the log files: threshold, the exact bytes of each line and where it goes,
// and logs that cannot be written.
#include "runinfixture.h"

#include <gmock/gmock.h>

#include <unistd.h>

namespace runin::test {
namespace {

using testing::ElementsAre;

// A tone that takes its time on the virtual clock and notes when each one ended.
struct TimedTone final : comm::Tone
{
    explicit TimedTone(comm::VirtualClock &onClock) : clock(onClock) {}
    void beep(int frequencyHz, comm::Millis duration) override
    {
        clock.advance(duration);
        beeps.emplace_back(frequencyHz, duration, clock.now());
    }
    comm::VirtualClock &clock;
    std::vector<std::tuple<int, comm::Millis, comm::Millis>> beeps;
};

class Report : public SequencerFixture
{
protected:
    // Runs the step test until its first zoom move has ended with these error answers.
    void firstZoomMove(const std::string &zoom1Error, const std::string &zoom2Error = " 1.0000")
    {
        auto &script = onScript();
        script.errors = {{"A", zoom1Error}, {"B", zoom2Error}};
        sequencer->start(true);
        ASSERT_TRUE(firstMoveEnded());
    }
};

TEST_F(Report, OnlyErrorsBeyondTenAreReported)
{
    for (const char *small : {" 10.0000", "-10.0000", "garbage"}) {
        firstZoomMove(small, small);
        EXPECT_TRUE(view.list.empty()) << small;
        EXPECT_TRUE(logLines(LogFiles::kErrors).empty()) << small;
    }
    EXPECT_TRUE(tone.beeps.empty());
    firstZoomMove(" 11.0000", "-11.0000");
    EXPECT_THAT(view.list, ElementsAre(errorLine(stamp(), "11", kZoom1Axis, kStepAscending),
                                       errorLine(stamp(), "-11", kZoom2Axis, kStepAscending)));
}

TEST_F(Report, AnErrorLineIsTheSameInTheListAndBothFilesAndBeepsThreeTimes)
{
    auto &script = onScript();
    TimedTone timed(clock);
    create(nullptr, &timed);
    script.positions["B"] = "  -500";
    script.errors["A"] = "-37.0000";
    sequencer->start(true);
    ASSERT_TRUE(firstMoveEnded());

    // Zoom 1's error stands between the two reached lines of the move.
    const QByteArray date = stamp().date.toLocal8Bit(), time = stamp().time.toLocal8Bit();
    const QByteArray error =
        date + "  " + time + "  POSITION ERROR (-37)  Zoom 1 Axis Step test ascending";
    QFile complete(LogFiles::kComplete), errors(LogFiles::kErrors);
    ASSERT_TRUE(complete.open(QIODevice::ReadOnly) && errors.open(QIODevice::ReadOnly));
    EXPECT_EQ(errors.readAll(), error + "\r\n");
    EXPECT_EQ(complete.readAll(),
              date + "  " + time + "  Zoom 1 Axis Step test ascending  Position reached: 1000\r\n" +
                  error + "\r\n" + date + "  " + time +
                  "  Zoom 2 Axis Step test ascending  Position reached: -500\r\n");
    ASSERT_EQ(view.list.size(), 1U);
    EXPECT_EQ(view.list[0].toLocal8Bit(), error);

    using Beep = std::tuple<int, comm::Millis, comm::Millis>;
    const comm::Millis end = std::get<2>(timed.beeps.at(0));
    const comm::Millis second{1000};
    EXPECT_THAT(timed.beeps,
                ElementsAre(Beep{1000, second, end},
                            Beep{1000, second, end + second + comm::Millis(20)},
                            Beep{1000, second, end + 2 * (second + comm::Millis(20))}));
}

TEST_F(Report, AMissingWorkingDirectoryIsToldOnceAndTheRunGoesOn)
{
    // A removed working directory stops every writer, root included.
    const QString gone = QDir::currentPath() + "/gone";
    ASSERT_TRUE(QDir().mkdir(gone) && QDir::setCurrent(gone));
    ASSERT_EQ(::rmdir(gone.toLocal8Bit().constData()), 0);

    firstZoomMove(" 40.0000");
    ASSERT_TRUE(tickUntil(
        [this] { return sequencer->state().StepIndex == 4 && !sequencer->state().MovePending; }));
    const QString error = errorLine(stamp(), "40", kZoom1Axis, kStepAscending);
    const QString tail = " cannot be written (No such file or directory); the test goes on "
                         "without it.";
    EXPECT_THAT(view.list,
                ElementsAre(noteLine(stamp(), "\"Log Errors.txt\"" + tail),
                            noteLine(stamp(), "\"Log Complete.txt\"" + tail), error, error, error));
}

TEST_F(Report, AnErrorLogThatIsNotAFileIsToldOncePerRun)
{
    ASSERT_TRUE(QDir().mkdir(LogFiles::kErrors));
    firstZoomMove(" 40.0000");
    firstZoomMove(" 40.0000");
    const QString note = view.list.at(0);
    EXPECT_TRUE(note.startsWith(noteLine(stamp(), "\"Log Errors.txt\" cannot be written (")));
    const QString error = errorLine(stamp(), "40", kZoom1Axis, kStepAscending);
    EXPECT_THAT(view.list, ElementsAre(note, error, note, error));
    EXPECT_THAT(logLines(LogFiles::kComplete),
                ElementsAre(reachedLine(stamp(), kZoom1Axis, kStepAscending, "1000"), error,
                            reachedLine(stamp(), kZoom2Axis, kStepAscending, "-500")));
}

} // namespace
} // namespace runin::test
