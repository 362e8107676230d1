// The main window's layout, its hidden service mode and the locking of its controls.
#include "mainwindowfixture.h"

#include "axes/axespart.h"
#include "runin/runinpart.h"
#include "ui/form.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gmock/gmock.h>

#include <map>
#include <set>

namespace {

class MainWindow : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        createOnController();
        showAndStart();
        ASSERT_TRUE(dialogs.shown.empty());
    }

    void typeServiceCode(QWidget *target)
    {
        for (const Qt::Key key :
             {Qt::Key_Escape, Qt::Key_U, Qt::Key_N, Qt::Key_V, Qt::Key_K, Qt::Key_N})
            QTest::keyClick(target, key);
    }

    QWidget *keyTarget() { return form->focusWidget() ? form->focusWidget() : form.get(); }

    int px(int twips) const { return ui::toPixels(twips, form->logicalDpiX()); }

    // Every named control of the window with its enabled state.
    std::map<QString, bool> enabledStates() const
    {
        std::map<QString, bool> states;
        for (const QWidget *widget : form->findChildren<QWidget *>()) {
            if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
                states[widget->objectName()] = widget->isEnabled();
        }
        return states;
    }

    // Lockable controls have `operatorEnabled`, ABORT the opposite, all others their old state.
    static void expectOnlyLockableChanged(const std::map<QString, bool> &now,
                                          const std::map<QString, bool> &before,
                                          const std::set<QString> &lockable, bool operatorEnabled)
    {
        for (const auto &[name, enabled] : now) {
            const bool expected = name == "CommandAbort" ? !operatorEnabled
                                  : lockable.count(name) ? operatorEnabled
                                                         : before.at(name);
            EXPECT_EQ(enabled, expected) << name.toStdString();
        }
    }

    // The controls placed directly on the window (a frame stands for what it holds).
    std::vector<QWidget *> windowControls() const
    {
        std::vector<QWidget *> controls;
        for (QWidget *widget : form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
                controls.push_back(widget);
        }
        return controls;
    }
};

TEST_F(MainWindow, TheServiceCodeOpensTheFullSizeAtTheTopLeftCorner)
{
    ui::setOuterSize(form.get(), 1980, 4800);
    form->move(300, 200);
    typeServiceCode(keyTarget());
    EXPECT_EQ(form->KeySum(), 429);
    EXPECT_EQ(form->frameGeometry().size(), QSize(px(14800), px(11505)));
    EXPECT_EQ(form->pos(), QPoint(px(10), px(10)));

    // Again while already full: the first key only clears the completed sum, then the code
    // places the window again.
    form->move(400, 300);
    QTest::keyClick(keyTarget(), Qt::Key_Escape);
    EXPECT_EQ(form->KeySum(), 0);
    typeServiceCode(keyTarget());
    EXPECT_EQ(form->pos(), QPoint(px(10), px(10)));
}

TEST_F(MainWindow, AWrongKeyOrAModifierPressBreaksTheCode)
{
    ui::setOuterSize(form.get(), 1980, 4800);
    const QSize compact = form->size();
    QWidget *target = keyTarget();
    QTest::keyClick(target, Qt::Key_Escape);
    QTest::keyClick(target, Qt::Key_U);
    QTest::keyPress(target, Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyRelease(target, Qt::Key_Shift);
    EXPECT_EQ(form->KeySum(), 0);
    for (const Qt::Key key : {Qt::Key_N, Qt::Key_V, Qt::Key_K, Qt::Key_N})
        QTest::keyClick(target, key);
    EXPECT_EQ(form->size(), compact);
}

TEST_F(MainWindow, TheCodeTypedIntoATextBoxAlsoReachesTheBox)
{
    QLineEdit *speed = form->axes().JogSpeed[0];
    speed->setFocus();
    speed->clear();
    typeServiceCode(speed);
    EXPECT_EQ(form->KeySum(), 429);
    EXPECT_EQ(speed->text(), "unvkn");
}

TEST_F(MainWindow, CompactSizeShowsExactlyTheLeftColumn)
{
    ui::setOuterSize(form.get(), 1980, 4800);
    const QRect client = form->rect();
    const std::set<QString> leftColumn = {"Shape1",
                                          "Image1",
                                          "Label2",
                                          "LabelFocalLength",
                                          "ComboFocalLength",
                                          "LabelIrisPosition",
                                          "ComboIrisPosition",
                                          "Label1",
                                          "LabelFocusPos",
                                          "CommandFocusUp",
                                          "CommandFocusDn",
                                          "CommandSetIP",
                                          "LabelVersion"};
    std::set<QString> visible;
    for (const QWidget *control : windowControls()) {
        if (client.contains(control->geometry())) {
            visible.insert(control->objectName());
        } else {
            EXPECT_FALSE(client.intersects(control->geometry()))
                << control->objectName().toStdString() << " is half in sight";
        }
    }
    EXPECT_EQ(visible, leftColumn);
}

TEST_F(MainWindow, FullSizeShowsEveryControl)
{
    typeServiceCode(keyTarget());
    const QRect client = form->rect();
    for (const QWidget *control : windowControls()) {
        if (control != form->Text0) {
            EXPECT_TRUE(client.contains(control->geometry()))
                << control->objectName().toStdString();
        }
    }
}

TEST_F(MainWindow, LockingChangesTheOperatorControlsAndNothingElse)
{
    std::set<QString> lockable = {"HScroll",          "CommandSalva",      "CommandCarica",
                                  "ComboFocalLength", "ComboIrisPosition", "CommandFocusUp",
                                  "CommandFocusDn",   "CommandSetIP",      "CheckSingleStep",
                                  "CheckFullSroke",   "CommandStart",      "ListView1"};
    for (int axis = 0; axis < 4; ++axis) {
        for (const char *name : {"CheckStatus", "CommandJogNeg", "CommandJogPos",
                                 "CommandAbsolutePos", "JogSpeed", "AbsolutePos"})
            lockable.insert(QStringLiteral("%1(%2)").arg(name).arg(axis));
    }

    auto before = enabledStates();
    EXPECT_FALSE(before.at("CommandStart"));
    EXPECT_FALSE(before.at("CommandAbort"));
    form->LockControls();
    const auto locked = enabledStates();
    form->LockControls();
    EXPECT_EQ(enabledStates(), locked) << "locking twice is locking once";

    expectOnlyLockableChanged(locked, before, lockable, false);

    form->runIn().CheckSingleStep->setChecked(false);
    form->runIn().CheckFullSroke->setChecked(false);
    form->UnlockControls();
    form->UnlockControls();
    const auto unlocked = enabledStates();
    expectOnlyLockableChanged(unlocked, before, lockable, true);
    EXPECT_TRUE(unlocked.at("CommandStart")) << "whatever the check boxes show";
}

} // namespace
