// The running-in frame: its boxes, START and ABORT with the window's lock, on the controller.
#include "testsupport/infolder.h"
#include "testsupport/mainwindowfixture.h"

#include "lens/lenspart.h"
#include "runin/logfiles.h"
#include "runin/runinpart.h"
#include "ui/form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace {

class RunInFrame : public MainWindowFixture
{
protected:
    void startWith(sim::Faults faults = {})
    {
        createOnController(faults);
        showAndStart();
    }

    void tick()
    {
        clock.advance(platform::Millis(100));
        ASSERT_TRUE(QMetaObject::invokeMethod(find<QTimer>("Timer3"), "timeout"));
    }
    // Ticks every 100 ms while the timer runs, until `done` holds.
    template <class Done> bool tickUntil(Done done, int limit = 20000)
    {
        for (int i = 0; i < limit && find<QTimer>("Timer3")->isActive() && !done(); ++i)
            tick();
        return done();
    }

    void click(const char *name) { QTest::mouseClick(find(name), Qt::LeftButton); }

    static void writeLastRun()
    {
        for (const char *name : {runin::LogFiles::kComplete, runin::LogFiles::kErrors})
            ASSERT_TRUE(testsupport::writeFile(QString::fromLatin1(name), "last run\r\n"));
    }
    static qint64 logBytes()
    {
        return QFileInfo(runin::LogFiles::kComplete).size() +
               QFileInfo(runin::LogFiles::kErrors).size();
    }

private:
    testsupport::InTemporaryFolder m_folder;
};

TEST_F(RunInFrame, TheBoxesStartAndAbortRunThroughTheWindowsLock)
{
    startWith();
    EXPECT_FALSE(find("CommandStart")->isEnabled());
    click("CheckSingleStep");
    EXPECT_TRUE(find("CommandStart")->isEnabled());
    click("CheckSingleStep");
    EXPECT_FALSE(find("CommandStart")->isEnabled());
    click("CheckFullSroke");
    EXPECT_TRUE(find("CommandStart")->isEnabled());

    writeLastRun();
    click("CommandStart");
    EXPECT_FALSE(find("ComboFocalLength")->isEnabled());
    EXPECT_FALSE(find("CheckFullSroke")->isEnabled());
    EXPECT_TRUE(find("CommandAbort")->isEnabled());
    EXPECT_EQ(find<QLabel>("LabelCycles")->text(), "Completed Cycles: 0");
    EXPECT_EQ(logBytes(), 0);

    ASSERT_TRUE(tickUntil([this] { return linesReceived().back() == "zoom = 500"; }));
    EXPECT_EQ(find<QLabel>("LabelStep2")->text(), "500");

    click("CommandAbort");
    EXPECT_EQ(find<QLabel>("LabelStep1")->text(), "-");
    EXPECT_EQ(find<QLabel>("LabelStep2")->text(), "-");
    EXPECT_TRUE(find("ComboFocalLength")->isEnabled());
    EXPECT_TRUE(find("CommandStart")->isEnabled());
    EXPECT_FALSE(find("CommandAbort")->isEnabled());

    const auto sent = controller->receivedLines().size();
    tick();
    EXPECT_FALSE(find<QTimer>("Timer3")->isActive());
    EXPECT_EQ(controller->receivedLines().size(), sent);
    EXPECT_FALSE(form->channel().busy());
    EXPECT_EQ(QFileInfo(runin::LogFiles::kComplete).size(), 0);
}

// A recorder whose store is out of reach: it cannot keep the run the logs hold.
struct UnkeptRecorder final : runin::RunRecorder
{
    void setNoteHandler(Note) override {}
    base::Status keepPreviousRun() override
    {
        return base::fail(base::FailureKind::Unavailable, "the disk is full");
    }
    void runStarted(bool, bool) override { ++started; }
    void runProgressed(const runin::RunSoFar &) override {}
    void runEnded(runin::RunEnding, std::int32_t) override {}
    int started = 0;
};

TEST_F(RunInFrame, StartAsksWhenThePreviousRunCannotBeKept_NoKeepsTheLogsYesEmptiesThem)
{
    UnkeptRecorder unkept;
    recorder = &unkept;
    startWith();
    click("CheckFullSroke");
    writeLastRun();
    dialogs.yesNoAnswers = {false};
    click("CommandStart");
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_TRUE(dialogs.shown[0].text.contains("cannot be kept: the disk is full"));
    EXPECT_EQ(logBytes(), 20);
    EXPECT_EQ(unkept.started, 0);
    EXPECT_FALSE(find<QTimer>("Timer3")->isActive());
    EXPECT_TRUE(find("CommandStart")->isEnabled());

    dialogs.yesNoAnswers = {true};
    click("CommandStart");
    EXPECT_EQ(dialogs.shown.size(), 2U);
    EXPECT_EQ(logBytes(), 0);
    EXPECT_EQ(unkept.started, 1);
    EXPECT_TRUE(find<QTimer>("Timer3")->isActive());
    form.reset(); // before the recorder it hands the run to
}

} // namespace
