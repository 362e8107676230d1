#include "controllock.h"

#include "axes/axespart.h"
#include "ui/controls.h"

#include <QStringList>
#include <QWidget>

namespace shell {

namespace {
const QString kAbort = QStringLiteral("CommandAbort");

// The locked controls by their given names, in the order they are taken away and given back.
QStringList lockOrder()
{
    QStringList names = {"HScroll",           "CommandSalva",   "CommandCarica",
                         "ComboFocalLength",  "ComboIrisPosition", "CommandFocusUp",
                         "CommandFocusDn",    "CommandSetIP"};
    for (int axis = 0; axis < axes::kAxisCount; ++axis) {
        for (const char *name : {"CheckStatus", "CommandJogNeg", "CommandJogPos",
                                 "CommandAbsolutePos", "JogSpeed", "AbsolutePos"})
            names.append(ui::arrayName(name, axis));
    }
    names.append({"CheckSingleStep", "CheckFullSroke", "CommandStart", "ListView1"});
    return names;
}

const QStringList &lockedControls()
{
    static const QStringList names = lockOrder();
    return names;
}
} // namespace

void setControlsLocked(QWidget &form, bool locked)
{
    for (const QString &name : lockedControls()) {
        if (auto *control = form.findChild<QWidget *>(name))
            control->setEnabled(!locked);
    }
    if (auto *abort = form.findChild<QWidget *>(kAbort))
        abort->setEnabled(locked);
}

} // namespace shell
