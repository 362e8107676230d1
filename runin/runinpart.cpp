#include "runinpart.h"

#include "loglines.h"

#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/shape.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

namespace runin {

namespace {
using ui::Twips;

constexpr int kTickIntervalMs = 100;
constexpr int kLightSide = 255;

ui::Shape *addLight(QWidget *parent, const QString &name, int left, int top)
{
    auto *light = new ui::Shape(ui::Shape::Kind::Circle, ui::colour::kWhite, parent);
    light->setObjectName(name);
    ui::place(light, left, top, kLightSide, kLightSide);
    return light;
}
} // namespace

RunInPart::RunInPart(QWidget *form, ui::PartContext context, platform::Tone &tone)
    : m_context(std::move(context)), m_sequencer(m_context.channel, m_context.clock, tone, *this)
{
    FrameRodaggio =
        ui::addFrame(form, "FrameRodaggio", "Running Up", Twips{120, 8760, 14415, 2250});
    QWidget *frame = FrameRodaggio;

    // One row per test kind: its check box, its light and the step it is at.
    CheckSingleStep = ui::addCheckBox(frame, "CheckSingleStep", "Single Step (1 cycle)",
                                      Twips{240, 390, 2520, 315});
    LightTest1 = addLight(frame, "LightTest1", 2880, 420);
    LabelStep1 = ui::addLabel(frame, "LabelStep1", "-", Twips{3300, 390, 1200, 315});
    CheckFullSroke = ui::addCheckBox(frame, "CheckFullSroke", "Full stroke (infinite)",
                                     Twips{240, 870, 2520, 315});
    LightTest2 = addLight(frame, "LightTest2", 2880, 900);
    LabelStep2 = ui::addLabel(frame, "LabelStep2", "-", Twips{3300, 870, 1200, 315});

    CommandStart = ui::addButton(frame, "CommandStart", "START", Twips{240, 1440, 1200, 570},
                                 ui::colour::kLightGreen);
    CommandStart->setEnabled(false);
    CommandAbort = ui::addButton(frame, "CommandAbort", "ABORT", Twips{1560, 1440, 1200, 570},
                                 ui::colour::kLightRed);
    CommandAbort->setEnabled(false);
    LabelCycles =
        ui::addLabel(frame, "LabelCycles", "Completed cycles: -", Twips{2880, 1560, 2400, 315});

    Label3 = ui::addLabel(frame, "Label3", "Working axis", Twips{5640, 300, 1800, 285});
    LightAxis1 = addLight(frame, "LightAxis1", 5640, 690);
    Label4 = ui::addLabel(frame, "Label4", "Zoom", Twips{6000, 660, 1200, 315});
    LightAxis2 = addLight(frame, "LightAxis2", 5640, 1110);
    Label6 = ui::addLabel(frame, "Label6", "Iris", Twips{6000, 1080, 1200, 315});
    LightAxis3 = addLight(frame, "LightAxis3", 5640, 1530);
    Label7 = ui::addLabel(frame, "Label7", "Focus", Twips{6000, 1500, 1200, 315});

    Label5 = ui::addLabel(frame, "Label5", "Errors", Twips{7800, 300, 1200, 285});
    List1 = new QListWidget(frame);
    List1->setObjectName("List1");
    ui::place(List1, 7800, 600, 6420, 1500);

    Timer3.setParent(form); // among the window's controls, by its name
    Timer3.setObjectName("Timer3");
    Timer3.setTimerType(Qt::PreciseTimer);
    Timer3.setInterval(kTickIntervalMs);

    connect(CheckSingleStep, &QCheckBox::toggled, this, &RunInPart::CheckSingleStep_Click);
    connect(CheckFullSroke, &QCheckBox::toggled, this, &RunInPart::CheckFullSroke_Click);
    connect(CommandStart, &QPushButton::clicked, this, &RunInPart::CommandStart_Click);
    connect(CommandAbort, &QPushButton::clicked, this, &RunInPart::CommandAbort_Click);
    connect(&Timer3, &QTimer::timeout, this, &RunInPart::Timer3_Timer);
    m_sequencer.setEndHandler([this](RunEnding how, std::int32_t cycles) {
        if (m_recorder != nullptr)
            m_recorder->runEnded(how, cycles);
    });
    m_sequencer.setProgressHandler([this](const RunSoFar &soFar) {
        if (m_recorder != nullptr)
            m_recorder->runProgressed(soFar);
    });
}

void RunInPart::clearRunFlags()
{
    m_sequencer.clearRunFlags();
}

void RunInPart::stopRun(const QString &reason, RunEnding how)
{
    m_sequencer.stop(reason, how);
}

void RunInPart::setRecorder(RunRecorder *recorder)
{
    m_recorder = recorder;
    if (m_recorder != nullptr)
        m_recorder->setNoteHandler([part = QPointer<RunInPart>(this)](const QString &text) {
            if (part)
                part->addNote(text);
        });
}

void RunInPart::addNote(const QString &text)
{
    addListItem(noteLine(stampOf(QDateTime::currentDateTime()), text));
}

void RunInPart::CheckSingleStep_Click()
{
    enableStartByBoxes();
}

void RunInPart::CheckFullSroke_Click()
{
    enableStartByBoxes();
}

void RunInPart::enableStartByBoxes()
{
    CommandStart->setEnabled(CheckSingleStep->isChecked() || CheckFullSroke->isChecked());
}

void RunInPart::CommandStart_Click()
{
    if (!keepPreviousRun())
        return;
    if (m_recorder != nullptr)
        m_recorder->runStarted(CheckSingleStep->isChecked(), CheckFullSroke->isChecked());
    m_sequencer.start(CheckSingleStep->isChecked());
}

bool RunInPart::keepPreviousRun()
{
    // The logs still hold the previous run; START empties them only once it is kept, or when the
    // operator agrees to lose it.
    if (m_recorder == nullptr)
        return true;
    CommandStart->setEnabled(false); // no second START while the record is looked after
    const base::Status kept = m_recorder->keepPreviousRun();
    CommandStart->setEnabled(true);
    if (kept)
        return true;
    return m_context.dialogs.askYesNo(
        QStringLiteral("The run in the logs cannot be kept: %1\n\nStart anyway and empty the logs, "
                       "losing that run?")
            .arg(QString::fromStdString(kept.error())),
        QStringLiteral("Conferma."));
}

void RunInPart::CommandAbort_Click()
{
    m_sequencer.abort();
}

void RunInPart::Timer3_Timer()
{
    m_sequencer.tick();
}

void RunInPart::setLabelStep1(const QString &text)
{
    LabelStep1->setText(text);
}

void RunInPart::setLabelStep2(const QString &text)
{
    LabelStep2->setText(text);
}

void RunInPart::setLabelCycles(const QString &text)
{
    LabelCycles->setText(text);
}

void RunInPart::setLight(Light light, bool active)
{
    ui::Shape *shape = nullptr;
    switch (light) {
    case Light::Axis1:
        shape = LightAxis1;
        break;
    case Light::Axis2:
        shape = LightAxis2;
        break;
    case Light::Axis3:
        shape = LightAxis3;
        break;
    case Light::Test1:
        shape = LightTest1;
        break;
    case Light::Test2:
        shape = LightTest2;
        break;
    }
    shape->setFillColor(active ? ui::colour::kGreen : ui::colour::kWhite);
}

void RunInPart::addListItem(const QString &text)
{
    List1->addItem(text);
    List1->scrollToBottom(); // the newest line in sight
}

bool RunInPart::fullStrokeTicked()
{
    return CheckFullSroke->isChecked();
}

void RunInPart::lockControls()
{
    emit lockRequested();
}

void RunInPart::unlockControls()
{
    emit unlockRequested();
}

void RunInPart::startTicking()
{
    Timer3.start();
}

void RunInPart::stopTicking()
{
    Timer3.stop();
}

void RunInPart::lockTestControls(bool locked)
{
    ui::setLocked({CheckSingleStep, CheckFullSroke, CommandStart}, locked);
}

void RunInPart::setAbortEnabled(bool enabled)
{
    CommandAbort->setEnabled(enabled);
}

} // namespace runin
