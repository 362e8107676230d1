#include "axespart.h"

#include "ui/controls.h"
#include "ui/form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace axes {

namespace {
using ui::Twips;

constexpr int kReadoutIntervalMs = 200;
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

AxesPart::AxesPart(QWidget *form, ui::PartContext context)
    : QObject(form), m_context(std::move(context))
{
    CommandSetIP = ui::addButton(form, "CommandSetIP", "Set IP", Twips{360, 3360, 1095, 375});
    FrameManuale = ui::addFrame(form, "FrameManuale", "Manual positioning",
                                Twips{kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight});
    for (int axis = 0; axis < kAxisCount; ++axis)
        buildAxisFrame(axis);

    Timer1.setObjectName("Timer1");
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(kReadoutIntervalMs);
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

void AxesPart::setLocked(bool locked)
{
    CommandSetIP->setEnabled(!locked);
    for (std::size_t i = 0; i < kAxisCount; ++i) {
        CheckStatus[i]->setEnabled(!locked);
        CommandJogNeg[i]->setEnabled(!locked);
        CommandJogPos[i]->setEnabled(!locked);
        CommandAbsolutePos[i]->setEnabled(!locked);
        JogSpeed[i]->setEnabled(!locked);
        AbsolutePos[i]->setEnabled(!locked);
    }
}

} // namespace axes
