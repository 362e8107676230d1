// The start-up sequence of the main window, from its first activation.
#include "mainwindowfixture.h"

#include "axes/axespart.h"
#include "camtable/camtablepart.h"
#include "lens/lenspart.h"
#include "link/frmcomport.h"
#include "shell/launcher.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;
using Icon = ui::Dialogs::Icon;

class StartUp : public MainWindowFixture
{
};

TEST_F(StartUp, ReadyLens_SendsTheStartUpLinesInOrderAndFillsTheLists)
{
    createOnController();
    showAndStart();

    EXPECT_THAT(linesReceived(), ElementsAre("init = @OUT[01];init=?", "SHX", "SHY", "SHZ", "SHW",
                                             "zoom=75", "iris=1", "PAW=focusmin;BGW"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(unloaded->count(), 0);
    EXPECT_TRUE(form->isVisible());

    auto &lens = form->lens();
    ASSERT_EQ(lens.ComboFocalLength->count(), 86);
    EXPECT_EQ(lens.ComboFocalLength->itemText(85), "500");
    EXPECT_EQ(lens.ComboFocalLength->currentIndex(), 0);
    ASSERT_EQ(lens.ComboIrisPosition->count(), 6);
    EXPECT_EQ(lens.ComboIrisPosition->itemText(5), "32");
    auto *table = form->camTable().ListView1;
    ASSERT_EQ(table->topLevelItemCount(), 86);
    EXPECT_EQ(table->topLevelItem(85)->text(1), "500");
    EXPECT_EQ(table->topLevelItem(0)->text(0), "");

    EXPECT_TRUE(form->axes().Timer1.isActive());
    EXPECT_EQ(form->LabelVersion->text(), "Version 1.2");
    EXPECT_LT(form->Text0->geometry().right(), 0);
    EXPECT_TRUE(form->Text0->hasFocus());
    EXPECT_TRUE(form->channel().PendingCount() > 0) << "the acknowledgements stay unread";
}

sim::Faults faults(void (*set)(sim::Faults &))
{
    sim::Faults result;
    set(result);
    return result;
}

struct FailurePath
{
    const char *name;
    sim::Faults faults;
    const char *message;
    std::vector<std::string> lines;
};

class StartUpFailure : public StartUp, public testing::WithParamInterface<FailurePath>
{
};

TEST_P(StartUpFailure, ShowsItsMessageSendsNothingFurtherAndEnds)
{
    const FailurePath &path = GetParam();
    createOnController(path.faults);
    showAndStart();

    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, path.message);
    EXPECT_EQ(dialogs.shown[0].title, "Errore");
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_EQ(linesReceived(), path.lines);
    EXPECT_EQ(unloaded->count(), 1);
    EXPECT_EQ(portOpenFailed->count(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->axes().Timer1.isActive());
    EXPECT_EQ(form->lens().ComboFocalLength->count(), 0);
    EXPECT_EQ(form->camTable().ListView1->topLevelItemCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StartUpFailure,
    testing::Values(FailurePath{"NoAnswer",
                                faults([](sim::Faults &f) { f.silent = true; }),
                                "Unable to establish connection !",
                                {"init = @OUT[01];init=?"}},
                    FailurePath{"NotInitialised",
                                faults([](sim::Faults &f) { f.notInitialised = true; }),
                                "Lens initialization not completed !",
                                {"init = @OUT[01];init=?", "allarme=?"}},
                    FailurePath{"Alarm",
                                faults([](sim::Faults &f) { f.alarm = 4; }),
                                "Initialization not possible! Errore #4",
                                {"init = @OUT[01];init=?", "allarme=?", "errore=?"}}),
    [](const auto &path) { return std::string(path.param.name); });

TEST_F(StartUp, AReplyShorterThanThreeCharactersCountsAsReady)
{
    auto &script = createOnScript();
    script.answer(":");
    showAndStart();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(script.written.size(), 8U);
    EXPECT_EQ(script.written.back(), "PAW=focusmin;BGW\r");
}

TEST_F(StartUp, AnAlarmWithAnEmptyErrorReplyEndsTheMessageAtTheHash)
{
    auto &script = createOnScript();
    script.answer(": 0.0000\r\n");
    script.answer(" 11.0000\r\n", comm::Millis{700});
    showAndStart();
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, "Initialization not possible! Errore #");
}

TEST_F(StartUp, APortThatCannotBeOpenedIsNamedAndTheOperatorChoosesAgain)
{
    auto &script = createOnScript();
    script.refuseOpen(true);
    showAndStart(7);
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_TRUE(dialogs.shown[0].text.contains("COM7"));
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Critical);
    EXPECT_EQ(portOpenFailed->count(), 1);
    EXPECT_EQ(unloaded->count(), 1);
    EXPECT_TRUE(script.written.empty());
}

TEST_F(StartUp, AFailedWriteIsShownOnceAfterTheHandlerAndChangesNothing)
{
    auto &script = createOnScript();
    script.answer(": 1.0000\r\n");
    showAndStart();
    script.failWrites(true);
    auto *focalLength = form->lens().ComboFocalLength;
    QTest::keyClick(focalLength, Qt::Key_Down);
    EXPECT_TRUE(dialogs.shown.empty()) << "not inside the handler";
    QCoreApplication::processEvents();
    QTest::keyClick(focalLength, Qt::Key_Down);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_TRUE(dialogs.shown[0].text.contains("cannot be reached"));
    EXPECT_EQ(focalLength->currentIndex(), 2);
    EXPECT_TRUE(form->isVisible());
}

// The way from the port list to a running window, and back when the port has gone meanwhile.
TEST(Launcher, APortGoneSinceTheListWasBuiltLeadsBackToAFreshPortList)
{
    comm::VirtualClock clock;
    testsupport::RecordingTone tone;
    testsupport::RecordingDialogs dialogs;
    int linksMade = 0;
    bool portGone = false;
    shell::Launcher launcher(clock, tone, dialogs, [&]() -> std::unique_ptr<comm::SerialLink> {
        ++linksMade;
        auto link = std::make_unique<testsupport::FakeLink>(clock);
        link->refuseOpen(portGone && linksMade > 20);
        return link;
    });
    QSignalSpy finished(&launcher, &shell::Launcher::finished);
    launcher.start();
    QPointer<comm::frmComPort> first = launcher.portSelection();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->ComboSerialPort->count(), 20);

    portGone = true;
    first->ComboSerialPort->setCurrentIndex(2);
    first->ComboSerialPort_Click();
    QPointer<shell::frmMain> main = launcher.mainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(testsupport::waitFor([&] { return !main && !first; }));

    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_TRUE(dialogs.shown[0].text.contains("COM3"));
    EXPECT_FALSE(first) << "the old list is gone";
    EXPECT_FALSE(main) << "the main window is gone";
    ASSERT_TRUE(launcher.portSelection());
    EXPECT_TRUE(launcher.portSelection()->isVisible());
    EXPECT_EQ(finished.count(), 0);

    launcher.portSelection()->close();
    EXPECT_EQ(finished.count(), 1);
}

} // namespace
