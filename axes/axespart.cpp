#include "axespart.h"

#include "axiscommands.h"
#include "ipaddress.h"
#include "readout.h"

#include "link/channel.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/mousehold.h"
#include "ui/windowstate.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace axes {

namespace {
using ui::Twips;

constexpr int kReadoutIntervalMs = 200;
constexpr int kEnterKey = 13;
const QString kPositionCaption = QStringLiteral("Actual position: ");
constexpr std::array<const char *, kAxisCount> kAxisCaptions = {
    "Axis 1 (Zoom 1)", "Axis 2 (Zoom 2)", "Axis 3 (Iris)", "Axis 4 (Focus)"};
// The speed and target captions of axis i are LabelJogSpeed(kSpeedLabel[i]) and
// LabelJogSpeed(kTargetLabel[i]).
constexpr std::array<int, kAxisCount> kSpeedLabel = {0, 1, 5, 7};
constexpr std::array<int, kAxisCount> kTargetLabel = {2, 3, 4, 6};

// The four axis frames stand side by side in the manual frame.
constexpr int kFrameLeft = 2160;
constexpr int kFrameTop = 1320;
constexpr int kFrameWidth = 7080;
constexpr int kFrameHeight = 7335;
constexpr int kAxisLeft = 120;
constexpr int kAxisTop = 300;
constexpr int kAxisWidth = 1650;
constexpr int kAxisGap = 75;
constexpr int kAxisHeight = 6885;
constexpr int kInnerLeft = 120;
constexpr int kInnerWidth = 1410;
} // namespace

AxesPart::AxesPart(QWidget *form, ui::PartContext context) : m_context(std::move(context))
{
    CommandSetIP = ui::addButton(form, "CommandSetIP", "Set IP", Twips{360, 3360, 1095, 375});
    FrameManuale = ui::addFrame(form, "FrameManuale", "Manual positioning",
                                Twips{kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight});
    for (int axis = 0; axis < kAxisCount; ++axis) {
        buildAxisFrame(axis);
        connectAxis(axis);
    }
    connect(CommandSetIP, &QPushButton::clicked, this, &AxesPart::CommandSetIP_Click);

    Timer1.setParent(form); // among the window's controls, by its name
    Timer1.setObjectName("Timer1");
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(kReadoutIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &AxesPart::Timer1_Timer);
}

void AxesPart::connectAxis(int axis)
{
    const auto i = static_cast<std::size_t>(axis);
    // The box has taken its new state when `clicked` arrives, by mouse or by the space bar.
    connect(CheckStatus[i], &QCheckBox::clicked, this, [this, axis] { CheckStatus_Click(axis); });

    // A jog lasts exactly as long as the mouse holds its button; the keyboard does not jog.
    auto *forward = new ui::MouseHold(CommandJogPos[i]);
    auto *backward = new ui::MouseHold(CommandJogNeg[i]);
    connect(forward, &ui::MouseHold::pressed, this,
            [this, axis] { CommandJogPos_MouseDown(axis); });
    connect(backward, &ui::MouseHold::pressed, this,
            [this, axis] { CommandJogNeg_MouseDown(axis); });
    connect(forward, &ui::MouseHold::released, this, [this, axis] { CommandJog_MouseUp(axis); });
    connect(backward, &ui::MouseHold::released, this, [this, axis] { CommandJog_MouseUp(axis); });

    connect(CommandAbsolutePos[i], &QPushButton::clicked, this,
            [this, axis] { CommandAbsolutePos_Click(axis); });
    AbsolutePos[i]->installEventFilter(this);
}

void AxesPart::buildAxisFrame(int axis)
{
    const auto i = static_cast<std::size_t>(axis);
    auto *frame = ui::addFrame(
        FrameManuale, ui::arrayName("FrameManAxis", axis), kAxisCaptions[i],
        Twips{kAxisLeft + axis * (kAxisWidth + kAxisGap), kAxisTop, kAxisWidth, kAxisHeight});
    FrameManAxis[i] = frame;

    const auto row = [](int top, int height) {
        return Twips{kInnerLeft, top, kInnerWidth, height};
    };
    LabelStatus[i] =
        ui::addLabel(frame, ui::arrayName("LabelStatus", axis), "Status:", row(420, 255));
    Status[i] = ui::addLabel(frame, ui::arrayName("Status", axis), "ENABLED", row(720, 375),
                             ui::colour::kGreen, ui::colour::kDarkGrey);
    Status[i]->setAlignment(Qt::AlignCenter);
    CheckStatus[i] =
        ui::addCheckBox(frame, ui::arrayName("CheckStatus", axis), "I/O", row(1320, 315));
    ui::setColours(CheckStatus[i], ui::colour::kWhite, Qt::black);
    CheckStatus[i]->setChecked(true);
    Position[i] =
        ui::addLabel(frame, ui::arrayName("Position", axis), "Actual position: -", row(1920, 555));
    Position[i]->setWordWrap(true);
    Position[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const auto speedLabel = static_cast<std::size_t>(kSpeedLabel[i]);
    LabelJogSpeed[speedLabel] = ui::addLabel(frame, ui::arrayName("LabelJogSpeed", kSpeedLabel[i]),
                                             "Speed:", row(2880, 255));
    JogSpeed[i] = ui::addTextBox(frame, ui::arrayName("JogSpeed", axis), "1000", row(3180, 345));
    CommandJogNeg[i] = ui::addButton(frame, ui::arrayName("CommandJogNeg", axis), "Jog -",
                                     Twips{kInnerLeft, 3840, 660, 495}, ui::colour::kCyan);
    CommandJogPos[i] = ui::addButton(frame, ui::arrayName("CommandJogPos", axis), "Jog +",
                                     Twips{kInnerLeft + 750, 3840, 660, 495}, ui::colour::kCyan);
    const auto targetLabel = static_cast<std::size_t>(kTargetLabel[i]);
    LabelJogSpeed[targetLabel] =
        ui::addLabel(frame, ui::arrayName("LabelJogSpeed", kTargetLabel[i]),
                     "Absolute Position:", row(4800, 255));
    AbsolutePos[i] =
        ui::addTextBox(frame, ui::arrayName("AbsolutePos", axis), QString(), row(5100, 345));
    CommandAbsolutePos[i] = ui::addButton(frame, ui::arrayName("CommandAbsolutePos", axis), "Start",
                                          row(5760, 495), ui::colour::kLightOrange);
}

void AxesPart::startReadout()
{
    Timer1.start();
}

void AxesPart::stopReadout()
{
    Timer1.stop();
}

void AxesPart::enableTickedAxes()
{
    for (int axis = 0; axis < kAxisCount; ++axis) {
        if (CheckStatus[static_cast<std::size_t>(axis)]->isChecked())
            m_context.channel.SendLine("SH" + comm::AxisLetter(axis));
    }
}

std::array<QString, 2> AxesPart::zoomJogSpeeds() const
{
    return {JogSpeed[0]->text(), JogSpeed[1]->text()};
}

void AxesPart::CheckStatus_Click(int axis)
{
    const auto i = static_cast<std::size_t>(axis);
    m_context.focusSink();
    const bool enable = CheckStatus[i]->isChecked();
    sendHeld(m_context.channel, m_context.clock, enableLines(comm::AxisLetter(axis), enable));
    Status[i]->setText(enable ? "ENABLED" : "DISABLED");
    ui::setColours(Status[i], enable ? ui::colour::kGreen : ui::colour::kRed,
                   ui::colour::kDarkGrey);
}

void AxesPart::Timer1_Timer()
{
    // Another exchange is under way; its answers must not be taken from it.
    if (m_context.channel.busy())
        return;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const auto reading = readPosition(m_context.channel, comm::AxisLetter(axis));
        if (!reading)
            continue;
        Position[static_cast<std::size_t>(axis)]->setText(kPositionCaption +
                                                          QString::fromLatin1(reading->text));
        if (!reading->position)
            continue;
        if (axis == 0)
            m_context.state.ActualPosZoom1 = *reading->position;
        else if (axis == 1)
            m_context.state.ActualPosZoom2 = *reading->position;
    }
}

void AxesPart::CommandJogPos_MouseDown(int axis)
{
    jog(axis, true);
}

void AxesPart::CommandJogNeg_MouseDown(int axis)
{
    jog(axis, false);
}

void AxesPart::jog(int axis, bool forward)
{
    // The focus stays on the button that is held.
    const QString speed = JogSpeed[static_cast<std::size_t>(axis)]->text();
    sendHeld(m_context.channel, m_context.clock,
             jogLines(comm::AxisLetter(axis), speed.toLatin1().toStdString(), forward));
}

void AxesPart::CommandJog_MouseUp(int axis)
{
    sendHeld(m_context.channel, m_context.clock, stopLines(comm::AxisLetter(axis)));
    m_context.focusSink();
}

void AxesPart::CommandAbsolutePos_Click(int axis)
{
    const auto i = static_cast<std::size_t>(axis);
    for (const auto &line :
         absoluteMoveLines(comm::AxisLetter(axis), JogSpeed[i]->text().toLatin1().toStdString(),
                           AbsolutePos[i]->text().toLatin1().toStdString()))
        m_context.channel.SendLine(line);
    m_context.focusSink();
}

bool AxesPart::AbsolutePos_KeyPress(int axis, int keyAscii)
{
    if (keyAscii != kEnterKey)
        return false;
    CommandAbsolutePos_Click(axis);
    // Back to the box with its text selected, so that the next number typed replaces it.
    QLineEdit *box = AbsolutePos[static_cast<std::size_t>(axis)];
    box->setFocus();
    box->selectAll();
    return true;
}

bool AxesPart::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        for (int axis = 0; axis < kAxisCount; ++axis) {
            if (watched == AbsolutePos[static_cast<std::size_t>(axis)] && enter)
                return AbsolutePos_KeyPress(axis, kEnterKey);
        }
    }
    return QObject::eventFilter(watched, event);
}

void AxesPart::CommandSetIP_Click()
{
    m_context.focusSink();
    const QString answer = m_context.dialogs.inputBox("Type IP Address (ex. 192.168.1.10)",
                                                      "Set IP Address", QString());
    if (answer.isEmpty())
        return;
    const auto address = parseNetworkAddress(answer.toLatin1().toStdString());
    const auto sent = [this, &address] {
        // A write that fails is one more wrong address to the operator, and nothing else.
        const QScopedValueRollback toldHere(m_context.state.lineFailureToldByHandler, true);
        return m_context.channel.SendLine(setAddressLine(*address));
    };
    if (!address || !sent()) {
        m_context.dialogs.message("Wrong IP !", "Error", ui::Dialogs::Icon::Critical);
        return;
    }
    m_context.dialogs.message("New IP Address: " + QString::fromStdString(dottedText(*address)),
                              "IP Address changed", ui::Dialogs::Icon::Information);
}

void AxesPart::lockControls(bool locked)
{
    CommandSetIP->setEnabled(!locked);
    for (std::size_t i = 0; i < kAxisCount; ++i)
        ui::setLocked({CheckStatus[i], CommandJogNeg[i], CommandJogPos[i], CommandAbsolutePos[i],
                       JogSpeed[i], AbsolutePos[i]},
                      locked);
}

} // namespace axes
