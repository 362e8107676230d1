#pragma once

#include "ui/partcontext.h"

#include <QObject>
#include <QTimer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace ui {
class Shape;
}

namespace runin {

// The unattended running-in test: its controls, lights, error list and sequencer timer.
class RunInPart : public QObject
{
    Q_OBJECT
public:
    RunInPart(QWidget *form, ui::PartContext context);

    // No run pending: nothing asked to abort and no move awaited.
    void clearRunFlags();

    // Takes the test's own controls away during a run (ABORT comes the other way).
    void setLocked(bool locked);

    QGroupBox *FrameRodaggio;
    QCheckBox *CheckSingleStep;
    QCheckBox *CheckFullSroke;
    QPushButton *CommandStart;
    QPushButton *CommandAbort;
    ui::Shape *LightTest1;
    ui::Shape *LightTest2;
    QLabel *LabelStep1;
    QLabel *LabelStep2;
    QLabel *LabelCycles;
    QLabel *Label3;
    ui::Shape *LightAxis1;
    ui::Shape *LightAxis2;
    ui::Shape *LightAxis3;
    QLabel *Label4;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label5;
    QListWidget *List1;
    QTimer Timer3;

    bool AbortRequested = false;
    bool MovePending = false;

private:
    ui::PartContext m_context;
};

} // namespace runin
