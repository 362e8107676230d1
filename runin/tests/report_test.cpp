// The running-in test's error report and log files: thresholds, the exact bytes of each line,
// where each line goes, and logs that cannot be written.
#include "runinfixture.h"

#include "runin/loglines.h"

#include <gmock/gmock.h>

#include <sys/stat.h>
#include <unistd.h>

namespace runin::test {
namespace {

using testing::ElementsAre;

// Runs the step test until the first zoom move has been logged.
class ErrorReport : public SequencerFixture
{
protected:
    ScriptedController &firstZoomMove(const std::string &zoom1Error,
                                      const std::string &zoom2Error = " 1.0000")
    {
        auto &script = onScript();
        script.errors["A"] = zoom1Error;
        script.errors["B"] = zoom2Error;
        sequencer->start(true);
        EXPECT_TRUE(tickUntil([this] {
            return sequencer->state().StepIndex == 2 && !sequencer->state().MovePending;
        }));
        return script;
    }
};

TEST_F(ErrorReport, OnlyErrorsBeyondTenAreReported)
{
    for (const char *small : {" 10.0000", "-10.0000", " 0.0000", "garbage"}) {
        firstZoomMove(small, small);
        EXPECT_TRUE(view.list.empty()) << small;
        EXPECT_TRUE(tone.beeps.empty()) << small;
        EXPECT_EQ(fileBytes(LogFiles::kErrors), QByteArray()) << small;
    }
    firstZoomMove(" 11.0000");
    EXPECT_THAT(view.list, ElementsAre(errorLine(stamp(), "11", kZoom1Axis, kStepAscending)));
    view.list.clear();
    firstZoomMove("-11.0000");
    EXPECT_THAT(view.list, ElementsAre(errorLine(stamp(), "-11", kZoom1Axis, kStepAscending)));
}

TEST_F(ErrorReport, AnErrorLineGoesToTheListBothFilesAndThreeTones)
{
    std::vector<comm::Millis> beepTimes;
    struct TimedTone final : comm::Tone
    {
        TimedTone(comm::VirtualClock &clock, std::vector<comm::Millis> &times)
            : m_clock(clock), m_times(times)
        {}
        void beep(int frequencyHz, comm::Millis duration) override
        {
            EXPECT_EQ(frequencyHz, 1000);
            EXPECT_EQ(duration, comm::Millis(1000));
            m_clock.advance(duration);
            m_times.push_back(m_clock.now());
        }
        comm::VirtualClock &m_clock;
        std::vector<comm::Millis> &m_times;
    };
    auto &script = onScript();
    TimedTone timed(clock, beepTimes);
    channel = std::make_unique<comm::CommandChannel>(*link, clock, timed);
    sequencer = std::make_unique<Sequencer>(*channel, view, [this] { return kNow; });
    script.errors["A"] = "-37.0000";
    script.errors["B"] = " 12.0000";
    sequencer->start(true);
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().StepIndex == 2 &&
                                          !sequencer->state().MovePending; }));

    // Zoom 1's error comes between the two reached lines of the move; each error line is the same
    // in the list and in both files.
    const Stamp s = stamp();
    const QString zoom1Error = errorLine(s, "-37", kZoom1Axis, kStepAscending);
    const QString zoom2Error = errorLine(s, "12", kZoom2Axis, kStepAscending);
    EXPECT_THAT(view.list, ElementsAre(zoom1Error, zoom2Error));
    EXPECT_THAT(logLines(LogFiles::kErrors), ElementsAre(zoom1Error, zoom2Error));
    EXPECT_THAT(logLines(LogFiles::kComplete),
                ElementsAre(reachedLine(s, kZoom1Axis, kStepAscending, "1000"), zoom1Error,
                            reachedLine(s, kZoom2Axis, kStepAscending, "-500"), zoom2Error));
    // Three tones with 20 ms between them, for each report.
    ASSERT_EQ(beepTimes.size(), 6U);
    EXPECT_EQ(beepTimes[1] - beepTimes[0], comm::Millis(1020));
    EXPECT_EQ(beepTimes[2] - beepTimes[1], comm::Millis(1020));
}

TEST_F(ErrorReport, LogLinesAreExactToTheByte)
{
    auto &script = onScript();
    script.positions["B"] = "  -500";
    script.errors["A"] = "-11.0000";
    sequencer->start(true);
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().StepIndex == 2 &&
                                          !sequencer->state().MovePending; }));
    const Stamp s = stamp();
    ASSERT_FALSE(s.date.isEmpty());
    ASSERT_FALSE(s.time.isEmpty());
    const QByteArray date = s.date.toLocal8Bit();
    const QByteArray time = s.time.toLocal8Bit();
    const QByteArray error = date + "  " + time + "  POSITION ERROR (-11)  Zoom 1 Axis Step test "
                                                  "ascending\r\n";
    EXPECT_EQ(fileBytes(LogFiles::kErrors), error);
    EXPECT_EQ(fileBytes(LogFiles::kComplete),
              date + "  " + time + "  Zoom 1 Axis Step test ascending  Position reached: 1000\r\n" +
                  error + date + "  " + time +
                  "  Zoom 2 Axis Step test ascending  Position reached: -500\r\n");
    EXPECT_EQ(view.list.at(0).toLocal8Bit() + "\r\n", error);
}

TEST_F(ErrorReport, StartEmptiesBothLogs)
{
    for (const char *name : {LogFiles::kComplete, LogFiles::kErrors}) {
        QFile old(QString::fromLatin1(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("last run\r\n");
    }
    onScript();
    sequencer->start(false);
    EXPECT_EQ(fileBytes(LogFiles::kComplete), QByteArray());
    EXPECT_EQ(fileBytes(LogFiles::kErrors), QByteArray());
}

TEST_F(ErrorReport, AMissingWorkingDirectoryIsToldOnceAndTheRunGoesOn)
{
    // Removing the working directory stops every writer, root included.
    const QString gone = m_dir.path() + "/gone";
    ASSERT_TRUE(QDir().mkdir(gone));
    ASSERT_TRUE(QDir::setCurrent(gone));
    ASSERT_EQ(::rmdir(gone.toLocal8Bit().constData()), 0);

    auto &script = firstZoomMove(" 40.0000");
    ASSERT_TRUE(tickUntil([&] { return script.moves.size() == 4; })); // three moves ended
    const Stamp s = stamp();
    const QString error = errorLine(s, "40", kZoom1Axis, kStepAscending);
    EXPECT_THAT(view.list,
                ElementsAre(noteLine(s, "\"Log Errors.txt\" cannot be written (No such file or "
                                        "directory); the test goes on without it."),
                            noteLine(s, "\"Log Complete.txt\" cannot be written (No such file or "
                                        "directory); the test goes on without it."),
                            error, error, error));
}

TEST_F(ErrorReport, AnErrorLogThatIsNotAFileIsToldOncePerRun)
{
    ASSERT_TRUE(QDir().mkdir(LogFiles::kErrors));
    firstZoomMove(" 40.0000");
    firstZoomMove(" 40.0000");
    const Stamp s = stamp();
    const QString note = view.list.at(0);
    EXPECT_TRUE(note.startsWith(noteLine(s, "\"Log Errors.txt\" cannot be written (")))
        << note.toStdString();
    const QString error = errorLine(s, "40", kZoom1Axis, kStepAscending);
    EXPECT_THAT(view.list, ElementsAre(note, error, note, error));
    // The other log is still written in full.
    EXPECT_THAT(logLines(LogFiles::kComplete),
                ElementsAre(reachedLine(s, kZoom1Axis, kStepAscending, "1000"), error,
                            reachedLine(s, kZoom2Axis, kStepAscending, "-500")));
}

TEST(Timestamp, DatesAndTimesReadBackAsWritten)
{
    const QDateTime moment(QDate(2026, 3, 4), QTime(17, 6, 7));
    for (const QLocale &locale : {QLocale::system(), QLocale(QLocale::C), QLocale("en_US"),
                                  QLocale("de_DE"), QLocale("ja_JP")}) {
        const Stamp stamp = stampOf(moment, locale);
        EXPECT_FALSE(stamp.date.contains("  ")) << locale.name().toStdString();
        EXPECT_EQ(parseDateText(stamp.date, locale), moment.date()) << locale.name().toStdString();
        const auto time = parseTimeText(stamp.time, locale);
        ASSERT_TRUE(time.has_value()) << locale.name().toStdString();
        EXPECT_EQ(time->hour(), 17);
        EXPECT_EQ(time->minute(), 6);
    }
    EXPECT_EQ(parseDateText("POSITION"), std::nullopt);
}

} // namespace
} // namespace runin::test
