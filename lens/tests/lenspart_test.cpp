// The operator column: the preset lists, the focal length slider and the focus buttons.
#include "shell/tests/mainwindowfixture.h"

#include "lens/focus.h"
#include "lens/lenspart.h"
#include "lens/presets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class LensColumn : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        createOnController();
        showAndStart();
        ASSERT_TRUE(dialogs.shown.empty());
        form->axes().Timer1.stop(); // only this column's lines on the wire
        sentBefore = controller->receivedLines().size();
    }

    std::vector<std::string> sent() const
    {
        const auto all = linesReceived();
        return {all.begin() + static_cast<std::ptrdiff_t>(sentBefore), all.end()};
    }

    lens::LensPart &lens() { return form->lens(); }

    // Opens the list and clicks the item, as the operator does.
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

    QRect sliderPart(QStyle::SubControl part)
    {
        QStyleOptionSlider option;
        option.initFrom(lens().HScroll);
        option.orientation = Qt::Horizontal;
        option.minimum = lens().HScroll->minimum();
        option.maximum = lens().HScroll->maximum();
        option.sliderPosition = lens().HScroll->sliderPosition();
        option.sliderValue = lens().HScroll->value();
        option.singleStep = lens().HScroll->singleStep();
        option.pageStep = lens().HScroll->pageStep();
        return lens().HScroll->style()->subControlRect(QStyle::CC_ScrollBar, &option, part,
                                                       lens().HScroll);
    }

    // The thumb dragged through these positions.
    void drag(std::initializer_list<int> positions)
    {
        lens().HScroll->setSliderDown(true);
        for (const int position : positions)
            lens().HScroll->setSliderPosition(position);
        lens().HScroll->setSliderDown(false);
    }

    void moveOverWindowAt(QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, form->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(form.get(), &move);
    }

    std::size_t sentBefore = 0;
};

TEST_F(LensColumn, ListChoicesSendTheirPresetAndLeaveTheFocusOnTheSink)
{
    choose(lens().ComboFocalLength, 9);
    EXPECT_EQ(lens().ComboFocalLength->currentText(), "120");
    EXPECT_TRUE(form->Text0->hasFocus());
    choose(lens().ComboIrisPosition, 5);
    choose(lens().ComboIrisPosition, 0); // the f-number "6" is the controller's stop 1
    choose(lens().ComboFocalLength, 85);
    choose(lens().ComboFocalLength, 85); // the item shown, chosen again after the slider moved
    EXPECT_THAT(sent(), ElementsAre("zoom=120", "iris=6", "iris=1", "zoom=500", "zoom=500"));
    EXPECT_TRUE(form->Text0->hasFocus());
}

TEST_F(LensColumn, SliderSendsForEveryPositionOfADrag)
{
    drag({751, 760, 5000, 750});
    EXPECT_THAT(sent(), ElementsAre("zoom=75.1", "zoom=76", "zoom=500", "zoom=75"));
    EXPECT_EQ(lens().ComboFocalLength->currentIndex(), 0) << "the list does not follow";
}

TEST_F(LensColumn, SliderDraggedWithTheMouseSends)
{
    const QPoint thumb = sliderPart(QStyle::SC_ScrollBarSlider).center();
    QScrollBar *slider = lens().HScroll;
    QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
    QMouseEvent move(QEvent::MouseMove, thumb + QPoint(40, 0), slider->mapToGlobal(thumb),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &move);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb + QPoint(40, 0));
    ASSERT_GT(slider->value(), 750);
    EXPECT_THAT(sent(), ElementsAre(lens::sliderZoomLine(slider->value())));
}

TEST_F(LensColumn, SliderArrowsTrackAndKeysSendNothing)
{
    QScrollBar *slider = lens().HScroll;
    QTest::mouseClick(slider, Qt::LeftButton, {}, sliderPart(QStyle::SC_ScrollBarAddLine).center());
    EXPECT_EQ(slider->value(), 751);
    QTest::mouseClick(slider, Qt::LeftButton, {}, sliderPart(QStyle::SC_ScrollBarAddPage).center());
    EXPECT_GT(slider->value(), 751);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(slider->value(), 5000);
    EXPECT_THAT(sent(), IsEmpty());
}

TEST_F(LensColumn, FocusClickStepsOnceAndShowsTheCount)
{
    lens().CommandFocusUp->setFocus();
    QTest::keyClick(lens().CommandFocusUp, Qt::Key_Space);
    QTest::keyClick(lens().CommandFocusUp, Qt::Key_Return);
    EXPECT_THAT(sent(), IsEmpty()) << "only the mouse steps the focus";

    QTest::mouseClick(lens().CommandFocusUp, Qt::LeftButton);
    EXPECT_EQ(lens().LabelFocusPos->text(), "1");
    QTest::mouseClick(lens().CommandFocusDn, Qt::RightButton, Qt::ShiftModifier);
    QTest::mouseClick(lens().CommandFocusDn, Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("focusup=1", "focusdn=1", "focusdn=1"));
    EXPECT_EQ(lens().LabelFocusPos->text(), "0");
    EXPECT_FALSE(lens().Timer2.isActive());
    EXPECT_TRUE(form->Text0->hasFocus());
}

TEST_F(LensColumn, FocusHoldRepeatsAfter300AndThenEvery80MillisecondsAlsoAtTheLimit)
{
    lens().FocusPos = 98;
    QTest::mousePress(lens().CommandFocusUp, Qt::LeftButton);
    EXPECT_EQ(sent().size(), 1U);
    EXPECT_TRUE(lens().Timer2.isActive());
    EXPECT_EQ(lens().Timer2.interval(), 300);
    EXPECT_EQ(lens().FocusDir, lens::FocusDir::Up);
    for (int tick = 0; tick < 3; ++tick) {
        lens().Timer2_Timer();
        EXPECT_EQ(lens().Timer2.interval(), 80);
    }
    QTest::mouseRelease(lens().CommandFocusUp, Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("focusup=1", "focusup=1", "focusup=1", "focusup=1"));
    EXPECT_EQ(lens().LabelFocusPos->text(), "100") << "the lines go on, the count stops";
    EXPECT_FALSE(lens().Timer2.isActive());
    EXPECT_EQ(lens().FocusDir, lens::FocusDir::None);

    // A tick already queued when the button came up steps nowhere.
    lens().Timer2_Timer();
    EXPECT_EQ(sent().size(), 4U);
}

TEST_F(LensColumn, MovingOverTheBareWindowStopsTheRepeatButNotOverAControl)
{
    QTest::mousePress(lens().CommandFocusDn, Qt::LeftButton);
    moveOverWindowAt(lens().LabelFocusPos->geometry().center());
    EXPECT_TRUE(lens().Timer2.isActive()) << "a label is no bare surface";

    const QPoint bare = lens().LabelFocusPos->geometry().bottomRight() + QPoint(4, 4);
    ASSERT_EQ(form->childAt(bare), nullptr);
    moveOverWindowAt(bare);
    EXPECT_FALSE(lens().Timer2.isActive());
    EXPECT_EQ(lens().FocusDir, lens::FocusDir::None);
    QTest::mouseRelease(lens().CommandFocusDn, Qt::LeftButton);

    // The next press starts anew, with the first repeat after 300 ms.
    QTest::mousePress(lens().CommandFocusUp, Qt::LeftButton);
    EXPECT_EQ(lens().Timer2.interval(), 300);
    QTest::mouseRelease(lens().CommandFocusUp, Qt::LeftButton);
}

TEST_F(LensColumn, FocusRepeatStopsWhenTheWindowLosesTheMouse)
{
    QTest::mousePress(lens().CommandFocusUp, Qt::LeftButton);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(testsupport::waitFor([&] { return !form->isActiveWindow(); }));
    EXPECT_FALSE(lens().Timer2.isActive());
    EXPECT_EQ(sent().size(), 1U);
}

} // namespace
