#pragma once

#include "runrecorder.h"
#include "sequencer.h"

#include "ui/partcontext.h"

#include <QObject>
#include <QTimer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace platform {
class Tone;
}

namespace ui {
class Shape;
}

namespace runin {

// The unattended running-in test: its controls, lights, error list and sequencer timer. The run
// itself is the sequencer's; the handlers only pass the controls' values on.
class RunInPart : public QObject, private RunInView
{
    Q_OBJECT
public:
    // Error reports sound on `tone`.
    RunInPart(QWidget *form, ui::PartContext context, platform::Tone &tone);

    // No run pending: nothing asked to abort and no move awaited.
    void clearRunFlags();

    // Takes the test's choice and START away (`locked`) or gives them back. START comes back
    // whatever the check boxes show.
    void lockTestControls(bool locked);
    // ABORT goes the other way: given while the other controls are locked. Where they are locked
    // with no test running, it is taken away as well.
    void setAbortEnabled(bool enabled);

    // Ends a run under way as ABORT does, with `reason` as a new line of the error list.
    void stopRun(const QString &reason, RunEnding how);

    // Where every run is kept; none by default.
    void setRecorder(RunRecorder *recorder);

signals:
    // A run starts: every operator control but ABORT is to be taken away.
    void lockRequested();
    // A run has ended: the operator controls are to come back.
    void unlockRequested();

private slots:
    void CheckSingleStep_Click();
    void CheckFullSroke_Click();
    void CommandStart_Click();
    void CommandAbort_Click();
    void Timer3_Timer();

private:
    void enableStartByBoxes();
    // A line of its own in the error list, stamped like the others.
    void addNote(const QString &text);

    void setLabelStep1(const QString &text) override;
    void setLabelStep2(const QString &text) override;
    void setLabelCycles(const QString &text) override;
    void setLight(Light light, bool active) override;
    void addListItem(const QString &text) override;
    bool fullStrokeTicked() override;
    bool keepPreviousRun();
    void lockControls() override;
    void unlockControls() override;
    void startTicking() override;
    void stopTicking() override;

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

    ui::PartContext m_context;
    Sequencer m_sequencer;
    RunRecorder *m_recorder = nullptr;
};

} // namespace runin
