// A serial line that vanishes under the running program: told once, a run stopped, nothing else
// lost, and the same port taken up again when the device is back.
#include "mainwindowfixture.h"

#include "camtable/camtablepart.h"
#include "runin/runinpart.h"

#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gmock/gmock.h>

namespace {

using testing::HasSubstr;

class LostLine : public MainWindowFixture
{
protected:
    LostLine() : m_home(QDir::currentPath()) { QDir::setCurrent(m_logs.path()); }
    ~LostLine() override { QDir::setCurrent(m_home); }

    // Everything the cam table shows: marks and cells.
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
    QTemporaryDir m_logs;
    QString m_home;
};

TEST_F(LostLine, IsToldOnceStopsTheRunAndKeepsTheCamTable)
{
    sim::Faults faults;
    faults.dropAfter = platform::Millis{60000};
    createOnController(faults);
    showAndStart(3);
    find<QTimer>("Timer1")->stop();
    // Row 10 recorded from the readout, with the space bar.
    form->axes().Timer1_Timer();
    form->axes().Timer1_Timer();
    auto *list = find<QTreeWidget>("ListView1");
    list->setCurrentItem(list->topLevelItem(9));
    QTest::keyClick(list, Qt::Key_Space);
    const auto table = camTable();
    ASSERT_EQ(table[9][0], "x");

    auto &runIn = form->runIn();
    auto *ticks = find<QTimer>("Timer3");
    QTest::mouseClick(find("CheckFullSroke"), Qt::LeftButton);
    QTest::mouseClick(find("CommandStart"), Qt::LeftButton);
    ASSERT_TRUE(ticks->isActive());
    while (clock.now() < platform::Millis{61000}) {
        clock.advance(platform::Millis{100});
        runIn.Timer3_Timer();
    }
    for (int tick = 0; tick < 10; ++tick)
        form->axes().Timer1_Timer();
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

TEST_F(LostLine, TheSamePortIsOpenedAgainWhenTheDeviceIsBack)
{
    auto &script = createOnScript();
    script.answer(": 1.0000\r\n");
    showAndStart(5);
    find<QTimer>("Timer1")->stop();
    const QString titleBefore = form->windowTitle();

    script.refuseOpen(true);
    script.loseLine();
    EXPECT_TRUE(form->lineWatch().isLost());
    form->axes().Timer1_Timer(); // writes fail meanwhile, and say nothing more
    form->lineWatch().tryReopen();
    settle();
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_THAT(dialogs.shown[0].text.toStdString(), HasSubstr("COM5"));

    script.refuseOpen(false);
    form->lineWatch().tryReopen();
    EXPECT_EQ(script.opens, 2);
    EXPECT_FALSE(form->lineWatch().isLost());
    EXPECT_THAT(form->windowTitle().toStdString(), HasSubstr("COM5: line back since"));
    EXPECT_TRUE(form->windowTitle().startsWith(titleBefore));

    const auto written = script.written.size();
    form->axes().Timer1_Timer();
    ASSERT_EQ(script.written.size(), written + 4) << "the readout goes on";
    EXPECT_EQ(script.written[written], "TPX\r");
    settle();
    EXPECT_EQ(dialogs.shown.size(), 1U) << "the way back needs no box";

    // A second loss is told again.
    script.loseLine();
    settle();
    EXPECT_EQ(dialogs.shown.size(), 2U);
}

} // namespace
