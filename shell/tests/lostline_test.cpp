// A serial line that vanishes: told once, a run stopped, nothing else lost, the port taken again.
#include "testsupport/infolder.h"
#include "testsupport/mainwindowfixture.h"
#include "testsupport/repluglink.h"

#include "camtable/camtablepart.h"
#include "lens/lenspart.h"
#include "runin/runinpart.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gmock/gmock.h>

#include <list>

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

using testsupport::ReplugLink;

class LostLine : public MainWindowFixture
{
protected:
    std::vector<QStringList> camTable() const
    {
        std::vector<QStringList> rows;
        const auto *list = find<QTreeWidget>("ListView1");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = list->topLevelItem(i);
            rows.push_back({row->checkState(0) == Qt::Checked ? "x" : "", row->text(1),
                            row->text(2), row->text(3)});
        }
        return rows;
    }

    void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

private:
    testsupport::InTemporaryFolder m_logs;
};

TEST_F(LostLine, IsToldOnceStopsTheRunAndKeepsTheCamTable)
{
    sim::Faults faults;
    faults.dropAfter = platform::Millis{60000};
    createOnController(faults);
    showAndStart(3);
    find<QTimer>("Timer1")->stop();
    // Row 10 recorded from the readout, with the space bar.
    tick("Timer1");
    tick("Timer1");
    auto *list = find<QTreeWidget>("ListView1");
    list->setCurrentItem(list->topLevelItem(9));
    QTest::keyClick(list, Qt::Key_Space);
    const auto table = camTable();
    ASSERT_EQ(table[9][0], "x");

    auto *ticks = find<QTimer>("Timer3");
    QTest::mouseClick(find("CheckFullSroke"), Qt::LeftButton);
    QTest::mouseClick(find("CommandStart"), Qt::LeftButton);
    ASSERT_TRUE(ticks->isActive());
    while (clock.now() < platform::Millis{61000}) {
        clock.advance(platform::Millis{100});
        tick("Timer3");
    }
    for (int i = 0; i < 10; ++i)
        tick("Timer1");
    settle();

    ASSERT_EQ(dialogs.shown.size(), 1U) << "one message, not one a tick";
    EXPECT_THAT(dialogs.shown[0].text.toStdString(), HasSubstr("COM3 is lost"));
    EXPECT_EQ(dialogs.shown[0].icon, ui::Dialogs::Icon::Warning);
    EXPECT_THAT(form->windowTitle().toStdString(), HasSubstr("COM3: line lost"));

    EXPECT_FALSE(ticks->isActive()) << "the run is over";
    EXPECT_TRUE(find("CommandStart")->isEnabled());
    EXPECT_FALSE(find("CommandAbort")->isEnabled());
    const auto *errors = find<QListWidget>("List1");
    ASSERT_GT(errors->count(), 0);
    EXPECT_THAT(errors->item(errors->count() - 1)->text().toStdString(),
                HasSubstr("The line to the controller on COM3 was lost"));
    EXPECT_EQ(camTable(), table);
}

// A controller that comes back after the line was lost: asked as at start-up before anything
// else goes out, and taken up again only when its lens is ready.
class LineBack : public LostLine
{
protected:
    void SetUp() override
    {
        auto link = std::make_unique<ReplugLink>(clock);
        m_line = link.get();
        m_line->plug(newController());
        create(std::move(link));
        showAndStart(4);
        m_started = dialogs.shown.size();
    }

    sim::Controller &newController(sim::Faults faults = {})
    {
        return m_controllers.emplace_back(faults);
    }

    // The line is pulled and put into `controller`, which the program then finds.
    void comeBackTo(sim::Controller &next)
    {
        m_line->pull();
        settle();
        m_line->plug(next);
        tick("reopen");
    }

    // The boxes since start-up, the line's loss first.
    std::vector<testsupport::RecordingDialogs::Shown> boxes() const
    {
        return {dialogs.shown.begin() + long(m_started), dialogs.shown.end()};
    }

    // Whether what moves the lens is locked, with the cam table's files kept usable.
    void expectLocked(bool locked)
    {
        for (const char *name :
             {"ComboFocalLength", "CommandFocusUp", "CommandSetIP", "CommandJogPos(0)",
              "CommandAbsolutePos(3)", "CheckStatus(1)", "CheckSingleStep", "ListView1", "HScroll"})
            EXPECT_EQ(find(name)->isEnabled(), !locked) << name;
        EXPECT_FALSE(find("CommandAbort")->isEnabled());
        EXPECT_TRUE(find("CommandSalva")->isEnabled());
        EXPECT_TRUE(find("CommandCarica")->isEnabled());
    }

    ReplugLink *m_line = nullptr;
    std::list<sim::Controller> m_controllers;
    std::size_t m_started = 0;
};

TEST_F(LineBack, AReadyLensGetsItsTickedAxesEnabledAndTheReadoutAgain_NothingUnderWayIsReplayed)
{
    const QString titleBefore = form->windowTitle();
    // The choice was read once, at start-up; from then on the port is the window's own.
    modVariabili::PortNumber = 9;
    QTest::mouseClick(find<QCheckBox>("CheckStatus(2)"), Qt::LeftButton); // Iris off
    // A move and a focus step under way when the line goes.
    find<QLineEdit>("AbsolutePos(0)")->setText("5000");
    QTest::mouseClick(find<QPushButton>("CommandAbsolutePos(0)"), Qt::LeftButton);
    QTest::mousePress(find<QPushButton>("CommandFocusUp"), Qt::LeftButton);

    m_line->pull();
    settle();
    tick("Timer1"); // writes fail meanwhile, and say nothing more
    tick("reopen"); // no device yet: the port does not open
    settle();
    EXPECT_TRUE(find<QTimer>("reopen")->isActive());
    sim::Controller &reset = newController();
    m_line->plug(reset);
    tick("reopen");
    EXPECT_EQ(m_line->port(), 4);
    EXPECT_FALSE(find<QTimer>("reopen")->isActive());
    EXPECT_FALSE(find<QTimer>("Timer2")->isActive()) << "the focus repeat ended with the line";
    EXPECT_THAT(received(reset), ElementsAre("init = @OUT[01];init=?", "SHX", "SHY", "SHW"));
    EXPECT_TRUE(find<QTimer>("Timer1")->isActive());
    EXPECT_THAT(form->windowTitle().toStdString(), HasSubstr("COM4: line back since"));
    EXPECT_TRUE(form->windowTitle().startsWith(titleBefore));
    clock.advance(platform::Millis{200});
    tick("Timer1");
    EXPECT_EQ(received(reset).back(), "TPW");
    settle();
    ASSERT_EQ(boxes().size(), 1U) << "the loss's box only";
    EXPECT_EQ(boxes()[0].icon, ui::Dialogs::Icon::Warning);
    expectLocked(false);
}

TEST_F(LineBack, ALensNotInitialisedLocksTheControlsUntilItIsReady)
{
    sim::Faults notInitialised;
    notInitialised.notInitialised = true;
    sim::Controller &notReady = newController(notInitialised);
    comeBackTo(notReady);
    ASSERT_EQ(boxes().size(), 2U);
    EXPECT_EQ(boxes()[1].text, "Lens initialization not completed !");
    EXPECT_EQ(form->windowTitle(), "T7342 Galil - COM4: line back, lens not ready");
    expectLocked(true);
    EXPECT_EQ(unloaded->count(), 0) << "the program goes on";

    for (int round = 0; round < 3; ++round) {
        clock.advance(platform::Millis{2000});
        tick("askAgain");
    }
    const std::vector<std::string> asked{"init = @OUT[01];init=?", "allarme=?"};
    std::vector<std::string> fourTimes;
    for (int round = 0; round < 4; ++round)
        fourTimes.insert(fourTimes.end(), asked.begin(), asked.end());
    EXPECT_EQ(received(notReady), fourTimes) << "nothing but the question";
    EXPECT_EQ(boxes().size(), 2U);

    // The lens finishes its initialisation; the next question finds it ready.
    sim::Controller &ready = newController();
    m_line->plug(ready);
    clock.advance(platform::Millis{2000});
    tick("askAgain");
    EXPECT_THAT(received(ready), ElementsAre("init = @OUT[01];init=?", "SHX", "SHY", "SHZ", "SHW"));
    EXPECT_FALSE(find<QTimer>("askAgain")->isActive());
    EXPECT_THAT(form->windowTitle().toStdString(), HasSubstr("COM4: line back since"));
    expectLocked(false);
    EXPECT_TRUE(find<QTimer>("Timer1")->isActive());
    EXPECT_EQ(boxes().size(), 2U);
}

TEST_F(LineBack, AnAlarmOrASilentControllerIsToldAsAtStartUp_AndAskedAgainAfterANewLoss)
{
    sim::Faults alarmed;
    alarmed.alarm = 3;
    sim::Controller &alarm = newController(alarmed);
    comeBackTo(alarm);
    ASSERT_EQ(boxes().size(), 2U);
    EXPECT_EQ(boxes()[1].text, "Initialization not possible! Errore #3");
    EXPECT_THAT(received(alarm), ElementsAre("init = @OUT[01];init=?", "allarme=?", "errore=?"));
    expectLocked(true);

    sim::Faults silence;
    silence.silent = true;
    sim::Controller &silent = newController(silence);
    comeBackTo(silent);
    settle();
    ASSERT_EQ(boxes().size(), 4U) << "the new loss and the new answer are told";
    EXPECT_EQ(boxes()[3].text, "Unable to establish connection !");
    EXPECT_EQ(boxes()[3].icon, ui::Dialogs::Icon::Critical);
    EXPECT_EQ(form->windowTitle(), "T7342 Galil - COM4: line back, lens not ready");
    expectLocked(true);
    EXPECT_FALSE(find<QTimer>("Timer1")->isActive());
    EXPECT_EQ(unloaded->count(), 0);
}

} // namespace
