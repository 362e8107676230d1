// The axis panels of the full window: enable, readout, jog, absolute moves and the network address.
#include "testsupport/mainwindowfixture.h"

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/windowstate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gmock/gmock.h>

#include <array>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class AxisPanels : public MainWindowFixture
{
protected:
    static std::size_t at(int axis) { return static_cast<std::size_t>(axis); }

    template <class T = QWidget> T *of(const char *name, int axis) const
    {
        return find<T>(ui::arrayName(name, axis));
    }

    static void typeInto(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }

    void expectShown(const std::array<const char *, 4> &positions)
    {
        for (int axis = 0; axis < 4; ++axis)
            EXPECT_EQ(of<QLabel>("Position", axis)->text(),
                      QString("Actual position: ") + positions[at(axis)]);
    }
};

TEST_F(AxisPanels, ReadoutLeavesTheLineAloneWhileAnotherExchangeHoldsIt)
{
    startQuiet();
    const auto hold = form->channel().hold();
    tick("Timer1");
    EXPECT_THAT(sent(), IsEmpty());
    EXPECT_EQ(of<QLabel>("Position", 0)->text(), "Actual position: -");
    EXPECT_GT(form->channel().PendingCount(), 0) << "the unread answers stay for their owner";
}

TEST_F(AxisPanels, ReadoutShowsOnlyWhatAnswersAndStoresOnlyZoomNumbers)
{
    auto &script = createOnScript();
    script.answer(": 1.0000\r\n");
    showAndStart();
    find<QTimer>("Timer1")->stop();
    script.takeAll();

    // Each axis's answer is read 20 ms after its own question.
    script.answer("812\r\n", platform::Millis{20});
    script.answer("-441\r\n", platform::Millis{40});
    script.answer("77\r\n", platform::Millis{60});
    script.answer("5", platform::Millis{80});
    tick("Timer1");
    expectShown({"812", "-441", "77", "5"});
    EXPECT_EQ(form->state().ActualPosZoom1, 812);
    EXPECT_EQ(form->state().ActualPosZoom2, -441);

    // An acknowledgement, silence, an answer that is no number, and another axis's number.
    script.answer(":", platform::Millis{20});
    script.answer("?x\r\n", platform::Millis{40});
    script.answer("99\r\n", platform::Millis{60});
    tick("Timer1");
    expectShown({"812", "?x", "99", "5"});
    EXPECT_EQ(form->state().ActualPosZoom1, 812);
    EXPECT_EQ(form->state().ActualPosZoom2, -441);
}

TEST_F(AxisPanels, JogRunsWhileTheMouseHoldsTheButtonAtTheSpeedAsTyped)
{
    startQuiet();
    auto *forward = of<QPushButton>("CommandJogPos", 0);
    forward->setFocus();
    QTest::keyClick(forward, Qt::Key_Space);
    QTest::keyClick(forward, Qt::Key_Return);
    EXPECT_THAT(sent(), IsEmpty()) << "the keyboard does not jog";

    QTest::mousePress(forward, Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("JGX=1000", "BGX"));
    QTest::mouseRelease(forward, Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("JGX=1000", "BGX", "STX"));
    EXPECT_TRUE(find("Text0")->hasFocus());

    // Any mouse button; released away from the button, the stop still goes out.
    typeInto(of<QLineEdit>("JogSpeed", 1), "-250");
    auto *backward = of<QPushButton>("CommandJogNeg", 1);
    QTest::mousePress(backward, Qt::RightButton);
    QTest::mouseRelease(backward, Qt::RightButton, {}, QPoint(-200, 500));
    EXPECT_THAT(sent(), ElementsAre("JGX=1000", "BGX", "STX", "JGY=--250", "BGY", "STY"));
}

TEST_F(AxisPanels, JogStopsAtOnceWhenTheWindowLosesTheMouse)
{
    startQuiet();
    auto *jog = of<QPushButton>("CommandJogPos", 2);
    QTest::mousePress(jog, Qt::LeftButton);
    ASSERT_THAT(sent(), ElementsAre("JGZ=1000", "BGZ"));

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(testsupport::waitFor([&] { return !form->isActiveWindow(); }));
    EXPECT_THAT(sent(), ElementsAre("JGZ=1000", "BGZ", "STZ"));
    EXPECT_FALSE(jog->isDown());

    QTest::mouseRelease(jog, Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("JGZ=1000", "BGZ", "STZ")) << "one stop per hold";
}

TEST_F(AxisPanels, AbsoluteMoveFromTheButtonAndFromEnter)
{
    startQuiet();
    typeInto(of<QLineEdit>("AbsolutePos", 2), "5000");
    QTest::mouseClick(of<QPushButton>("CommandAbsolutePos", 2), Qt::LeftButton);
    EXPECT_THAT(sent(), ElementsAre("SPZ=1000", "PAZ=5000", "BGZ"));
    EXPECT_TRUE(find("Text0")->hasFocus());

    auto *target = of<QLineEdit>("AbsolutePos", 0);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_THAT(sent(), ElementsAre("SPZ=1000", "PAZ=5000", "BGZ", "SPX=1000", "PAX=", "BGX"));
    EXPECT_TRUE(target->hasFocus());

    QTest::keyClicks(target, "12");
    QTest::keyClick(target, Qt::Key_Enter);
    EXPECT_EQ(sent().at(7), "PAX=12");
    EXPECT_EQ(target->selectedText(), "12");
    QTest::keyClicks(target, "3");
    EXPECT_EQ(target->text(), "3") << "the next number replaces the last";
}

// The accepted address and its confirmation are the end-to-end test's; here the refusals.
TEST_F(AxisPanels, SetIpCancelledSendsNothing_ABadOrUnwritableAddressIsAWrongIpAndNothingMore)
{
    auto &script = createOnScript();
    script.answer(": 1.0000\r\n");
    showAndStart();
    find<QTimer>("Timer1")->stop();
    const std::size_t before = script.written.size();
    dialogs.shown.clear();
    const auto setIp = [this](const QString &answer) {
        dialogs.inputAnswers = {answer};
        QTest::mouseClick(find("CommandSetIP"), Qt::LeftButton);
        QCoreApplication::processEvents(); // whatever the window queued after it
    };
    setIp("");
    setIp("256.1.1.1");
    EXPECT_EQ(script.written.size(), before) << "nothing goes to the controller";
    script.failWrites(true);
    setIp("192.168.1.10");
    ASSERT_EQ(dialogs.shown.size(), 5U) << "no box of the line's own follows";
    EXPECT_EQ(dialogs.shown[2].text, "Wrong IP !");
    EXPECT_EQ(dialogs.shown[4].text, "Wrong IP !");
    EXPECT_EQ(dialogs.shown[4].title, "Error");

    // The device vanishes under the write: the window shows its state in the title, no box.
    script.failWrites(false);
    dialogs.shown.clear();
    script.loseLineOnNextWrite();
    setIp("192.168.1.10");
    ASSERT_EQ(dialogs.shown.size(), 2U);
    EXPECT_EQ(dialogs.shown[1].text, "Wrong IP !");
    EXPECT_THAT(form->windowTitle().toStdString(), testing::HasSubstr("line lost"));

    // The next failure of the line, met elsewhere, is the window's to tell again.
    script.answer(": 1.0000\r\n"); // the lens is ready when the device is back
    tick("reopen");
    setIp("10.0.0.1");
    script.failWrites(true);
    dialogs.shown.clear();
    QTest::mouseClick(of("CheckStatus", 2), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_THAT(dialogs.shown[0].text.toStdString(),
                testing::StartsWith("The controller cannot be reached"));
}

} // namespace
