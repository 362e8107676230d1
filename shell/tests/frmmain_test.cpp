// The main window's layout, its hidden service mode and the locking of its controls.
#include "testsupport/mainwindowfixture.h"

#include "axes/axespart.h"
#include "runin/runinpart.h"
#include "ui/form.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <gmock/gmock.h>

#include <map>
#include <set>

namespace {

// The named controls whose enabled state changes while it lives, in the order they change.
class EnabledChanges : public QObject
{
public:
    EnabledChanges() { qApp->installEventFilter(this); }
    ~EnabledChanges() override { qApp->removeEventFilter(this); }
    EnabledChanges(const EnabledChanges &) = delete;
    EnabledChanges &operator=(const EnabledChanges &) = delete;

    std::vector<QString> names;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString name = watched->objectName();
        if (event->type() == QEvent::EnabledChange && !name.isEmpty() && !name.startsWith("qt_"))
            names.push_back(name);
        return false;
    }
};

class MainWindow : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        createOnController();
        showAndStart();
        ASSERT_TRUE(dialogs.shown.empty());
    }

    // The window's own locking, as the running-in test calls it.
    void lock(bool locked) const
    {
        QMetaObject::invokeMethod(form.get(), locked ? "LockControls" : "UnlockControls");
    }

    int px(int twips) const { return ui::toPixels(twips, form->logicalDpiX()); }

    // The named controls: all, or those directly on the window (a frame standing for its own).
    std::vector<QWidget *>
    windowControls(Qt::FindChildOptions options = Qt::FindDirectChildrenOnly) const
    {
        std::vector<QWidget *> controls;
        for (QWidget *widget : form->findChildren<QWidget *>(options)) {
            if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
                controls.push_back(widget);
        }
        return controls;
    }

    std::map<QString, bool> enabledStates() const
    {
        std::map<QString, bool> states;
        for (const QWidget *widget : windowControls(Qt::FindChildrenRecursively))
            states[widget->objectName()] = widget->isEnabled();
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
};

TEST_F(MainWindow, CompactShowsTheLeftColumnAndTheServiceCodeOpensEverythingAtTheTopLeft)
{
    ui::setOuterSize(form.get(), 1980, 4800);
    form->move(300, 200);
    const std::set<QString> leftColumn = {
        "Shape1",           "Image1",       "Label2",        "LabelFocalLength",
        "ComboFocalLength", "Label1",       "LabelFocusPos", "CommandFocusUp",
        "CommandFocusDn",   "CommandSetIP", "LabelVersion",  "LabelIrisPosition",
        "ComboIrisPosition"};
    std::set<QString> visible;
    for (const QWidget *control : windowControls()) {
        if (form->rect().contains(control->geometry())) {
            visible.insert(control->objectName());
        } else {
            EXPECT_FALSE(form->rect().intersects(control->geometry()))
                << control->objectName().toStdString() << " is half in sight";
        }
    }
    EXPECT_EQ(visible, leftColumn);

    // Typed into a text box, the code also reaches the box.
    auto *speed = find<QLineEdit>("JogSpeed(0)");
    speed->setFocus();
    speed->clear();
    const auto typeCode = [speed] {
        for (const Qt::Key key :
             {Qt::Key_Escape, Qt::Key_U, Qt::Key_N, Qt::Key_V, Qt::Key_K, Qt::Key_N})
            QTest::keyClick(speed, key);
    };
    typeCode();
    EXPECT_EQ(form->KeySum(), 429);
    EXPECT_EQ(speed->text(), "unvkn");
    EXPECT_EQ(form->frameGeometry().size(), QSize(px(14800), px(11505)));
    EXPECT_EQ(form->pos(), QPoint(px(10), px(10)));
    for (const QWidget *control : windowControls()) {
        if (control->objectName() != "Text0") {
            EXPECT_TRUE(form->rect().contains(control->geometry()))
                << control->objectName().toStdString();
        }
    }

    // Again when full: the first key only clears the completed sum; the code places it again.
    form->move(400, 300);
    QTest::keyClick(speed, Qt::Key_Escape);
    EXPECT_EQ(form->KeySum(), 0);
    typeCode();
    EXPECT_EQ(form->pos(), QPoint(px(10), px(10)));
}

TEST_F(MainWindow, AKeyWithoutTextTypedIntoAnyTextBoxResetsTheServiceCode)
{
    // No input method may compose on a text box: it would hold a dead key (and the key after it)
    // back from the key preview.
    for (const QLineEdit *box : form->findChildren<QLineEdit *>())
        EXPECT_FALSE(box->inputMethodQuery(Qt::ImEnabled).toBool())
            << box->objectName().toStdString();

    for (const char *name : {"Text0", "JogSpeed(3)", "AbsolutePos(1)"}) {
        auto *box = find<QLineEdit>(name);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Escape);
        QTest::keyClick(box, Qt::Key_U);
        EXPECT_EQ(form->KeySum(), 112) << name;
        // What a dead key gives: a key press with no text.
        QKeyEvent dead(QEvent::KeyPress, Qt::Key_Dead_Grave, Qt::NoModifier, QString());
        QApplication::sendEvent(box, &dead);
        EXPECT_EQ(form->KeySum(), 0) << name;
    }
}

TEST_F(MainWindow, LockingChangesTheOperatorControlsInTheirOrderAndNothingElse)
{
    std::vector<QString> order = {"HScroll",          "CommandSalva",      "CommandCarica",
                                  "ComboFocalLength", "ComboIrisPosition", "CommandFocusUp",
                                  "CommandFocusDn",   "CommandSetIP"};
    for (int axis = 0; axis < 4; ++axis) {
        for (const char *name : {"CheckStatus", "CommandJogNeg", "CommandJogPos",
                                 "CommandAbsolutePos", "JogSpeed", "AbsolutePos"})
            order.push_back(QStringLiteral("%1(%2)").arg(name).arg(axis));
    }
    order.insert(order.end(), {"CheckSingleStep", "CheckFullSroke", "CommandStart", "ListView1",
                               "CommandAbort"});
    const std::set<QString> lockable(order.begin(), order.end() - 1);

    auto before = enabledStates();
    EXPECT_FALSE(before.at("CommandStart"));
    EXPECT_FALSE(before.at("CommandAbort"));
    lock(true);
    const auto locked = enabledStates();
    lock(true);
    EXPECT_EQ(enabledStates(), locked) << "locking twice is locking once";
    expectOnlyLockableChanged(locked, before, lockable, false);

    EnabledChanges changes;
    lock(false);
    EXPECT_EQ(changes.names, order) << "unlocking";
    changes.names.clear();
    lock(false);
    EXPECT_THAT(changes.names, testing::IsEmpty()) << "unlocking twice is unlocking once";
    const auto unlocked = enabledStates();
    expectOnlyLockableChanged(unlocked, before, lockable, true);
    EXPECT_TRUE(unlocked.at("CommandStart")) << "whatever the check boxes show";

    lock(true);
    EXPECT_EQ(changes.names, order) << "locking";
}

TEST_F(MainWindow, AJogHeldWhileTheWindowGoesIsStoppedOnTheLineStillThere)
{
    // Closed by the operator, with the mouse still on Jog + of Zoom 1.
    QTest::mousePress(find("CommandJogPos(0)"), Qt::LeftButton);
    form->close();
    EXPECT_EQ(linesReceived().back(), "STX");
    EXPECT_EQ(unloaded->count(), 1);

    // Deleted while shown, as when the program ends with the window open.
    form.reset();
    createOnController();
    showAndStart();
    QTest::mousePress(find("CommandJogNeg(3)"), Qt::LeftButton);
    ASSERT_EQ(linesReceived().back(), "BGW");
    form.reset();
    EXPECT_EQ(linesReceived().back(), "STW");
}

} // namespace
