// The operator column: the preset lists, the focal length slider and the focus buttons.
#include "testsupport/mainwindowfixture.h"

#include "lens/lenspart.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gmock/gmock.h>

namespace {

using testing::AllOf;
using testing::Each;
using testing::ElementsAre;
using testing::Eq;
using testing::IsEmpty;
using testing::SizeIs;

class LensColumn : public MainWindowFixture
{
protected:
    void SetUp() override { startQuiet(); }

    QScrollBar *slider() const { return find<QScrollBar>("HScroll"); }
    QPushButton *up() const { return find<QPushButton>("CommandFocusUp"); }
    QPushButton *down() const { return find<QPushButton>("CommandFocusDn"); }
    QString count() const { return find<QLabel>("LabelFocusPos")->text(); }
    QTimer *repeat() const { return find<QTimer>("Timer2"); }
    bool sinkHasFocus() const { return find("Text0")->hasFocus(); }

    static void choose(QComboBox *combo, int index)
    {
        combo->showPopup();
        QAbstractItemView *view = combo->view();
        ASSERT_TRUE(testsupport::waitFor([view] { return view->isVisible(); }));
        const QModelIndex item = view->model()->index(index, 0);
        view->scrollTo(item);
        const QRect place = view->visualRect(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.center());
    }

    void drag(std::initializer_list<int> positions)
    {
        slider()->setSliderDown(true);
        for (const int position : positions)
            slider()->setSliderPosition(position);
        slider()->setSliderDown(false);
    }

    void moveOverWindowAt(QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, form->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(form.get(), &move);
    }
};

TEST_F(LensColumn, ListChoicesSendTheirPresetAndLeaveTheFocusOnTheSink)
{
    auto *focalLength = find<QComboBox>("ComboFocalLength");
    auto *iris = find<QComboBox>("ComboIrisPosition");
    choose(focalLength, 9);
    EXPECT_TRUE(sinkHasFocus());
    choose(iris, 5);
    choose(iris, 0); // the f-number "6" is the controller's stop 1
    choose(focalLength, 85);
    choose(focalLength, 85); // the item shown, chosen again after the slider moved
    EXPECT_THAT(sent(), ElementsAre("zoom=120", "iris=6", "iris=1", "zoom=500", "zoom=500"));
    EXPECT_TRUE(sinkHasFocus());
}

TEST_F(LensColumn, ListsDropDownBelowTenRowsWithAScrollBarWithinTheScreen)
{
    for (const auto &[name, rows] : {std::pair{"ComboFocalLength", 10}, {"ComboIrisPosition", 6}}) {
        auto *combo = find<QComboBox>(name);
        combo->showPopup();
        QAbstractItemView *view = combo->view();
        ASSERT_TRUE(testsupport::waitFor([view] { return view->isVisible(); }));
        const QRect list = view->window()->geometry();
        EXPECT_EQ(list.top(), combo->mapToGlobal(combo->rect().bottomLeft()).y()) << name;
        EXPECT_TRUE(combo->screen()->availableGeometry().contains(list)) << name;
        EXPECT_EQ(view->indexAt(QPoint(1, view->viewport()->height() - 1)).row(), rows - 1) << name;
        EXPECT_EQ(view->verticalScrollBar()->isVisible(), rows < combo->count()) << name;
        combo->hidePopup();
    }
}

TEST_F(LensColumn, SliderSendsForEveryPositionOfADrag)
{
    drag({751, 760, 5000, 750});
    EXPECT_THAT(sent(), ElementsAre("zoom=75.1", "zoom=76", "zoom=500", "zoom=75"));
    EXPECT_EQ(find<QComboBox>("ComboFocalLength")->currentIndex(), 0) << "the list does not follow";
}

TEST_F(LensColumn, SliderArrowsAndPagesTrackAndKeysSendNothing)
{
    QScrollBar *bar = slider();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); // what a click on an arrow does
    EXPECT_EQ(bar->value(), 751);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_End);
    EXPECT_EQ(bar->value(), 5000);
    EXPECT_THAT(sent(), IsEmpty());
}

TEST_F(LensColumn, FocusClickStepsOnceAndShowsTheCount)
{
    up()->setFocus();
    QTest::keyClick(up(), Qt::Key_Space);
    EXPECT_THAT(sent(), IsEmpty()) << "only the mouse steps the focus";
    QTest::mouseClick(up(), Qt::LeftButton);
    EXPECT_EQ(count(), "1");
    QTest::mouseClick(down(), Qt::RightButton, Qt::ShiftModifier);
    QTest::mouseClick(down(), Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("focusup=1", "focusdn=1", "focusdn=1"));
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(repeat()->isActive());
    EXPECT_TRUE(sinkHasFocus());
}

TEST_F(LensColumn, FocusHoldRepeatsAfter300AndThenEvery80MillisecondsAlsoAtTheLimit)
{
    QTest::mousePress(up(), Qt::LeftButton);
    EXPECT_EQ(sent().size(), 1U);
    EXPECT_TRUE(repeat()->isActive());
    EXPECT_EQ(repeat()->interval(), 300);
    for (int i = 0; i < 101; ++i) {
        tick("Timer2");
        EXPECT_EQ(repeat()->interval(), 80);
    }
    QTest::mouseRelease(up(), Qt::LeftButton);
    EXPECT_THAT(sent(), AllOf(SizeIs(102), Each(Eq("focusup=1"))));
    EXPECT_EQ(count(), "100") << "the lines go on, the count stops";
    EXPECT_FALSE(repeat()->isActive());

    // A tick already queued when the button came up steps nowhere.
    tick("Timer2");
    EXPECT_EQ(sent().size(), 102U);
}

TEST_F(LensColumn, MovingOverTheBareWindowStopsTheRepeatButNotOverAControl)
{
    const QRect label = find("LabelFocusPos")->geometry();
    QTest::mousePress(down(), Qt::LeftButton);
    moveOverWindowAt(label.center());
    EXPECT_TRUE(repeat()->isActive()) << "a label is no bare surface";

    const QPoint bare = label.bottomRight() + QPoint(4, 4);
    ASSERT_EQ(form->childAt(bare), nullptr);
    moveOverWindowAt(bare);
    EXPECT_FALSE(repeat()->isActive());
    tick("Timer2");
    EXPECT_EQ(sent().size(), 1U) << "no direction left to step in";
    QTest::mouseRelease(down(), Qt::LeftButton);

    QTest::mousePress(up(), Qt::LeftButton);
    EXPECT_EQ(repeat()->interval(), 300) << "the next press starts anew";
    QTest::mouseRelease(up(), Qt::LeftButton);
}

TEST_F(LensColumn, FocusRepeatStopsWhenTheWindowLosesTheMouse)
{
    QTest::mousePress(up(), Qt::LeftButton);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(testsupport::waitFor([&] { return !form->isActiveWindow(); }));
    EXPECT_FALSE(repeat()->isActive());
    EXPECT_EQ(sent().size(), 1U);
}

} // namespace
