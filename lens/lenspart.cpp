#include "lenspart.h"

#include "focus.h"
#include "presets.h"

#include "link/channel.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/mousehold.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>

namespace lens {

namespace {
constexpr int kFocusFirstRepeatMs = 300;
constexpr int kFocusRepeatMs = 80;
constexpr int kListRows = 10;

// The window's style opens a list over its shown item, as tall as the screen, with arrows that
// scroll it while the pointer merely rests on them. A list of this style drops down below itself
// (above when the screen ends first), a few rows with a scroll bar, and moves only when scrolled.
class DropDownStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *answer) const override
    {
        return hint == SH_ComboBox_Popup ? 0 : QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

void dropDownBelow(QComboBox *combo)
{
    QAbstractItemView *list = combo->view();
    // A child made after the list's container, so that it outlives it.
    auto *style = new DropDownStyle(QApplication::style()->name());
    style->setParent(combo);
    combo->setStyle(style);
    combo->setMaxVisibleItems(kListRows);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Not in the colours of the window's surface: its arrows would be white on grey.
    QPalette ordinary = QApplication::palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
        ordinary.setColor(role, ordinary.color(role));
    list->verticalScrollBar()->setPalette(ordinary);
}
} // namespace

LensPart::LensPart(QWidget *form, ui::PartContext context) : m_context(std::move(context))
{
    using ui::Twips;
    LabelFocalLength =
        ui::addLabel(form, "LabelFocalLength", "Focal length:", Twips{360, 720, 1095, 255});
    ComboFocalLength = ui::addComboBox(form, "ComboFocalLength", Twips{360, 960, 1095, 330});
    LabelIrisPosition =
        ui::addLabel(form, "LabelIrisPosition", "Iris position:", Twips{360, 1440, 1095, 255});
    ComboIrisPosition = ui::addComboBox(form, "ComboIrisPosition", Twips{360, 1680, 1095, 330});
    dropDownBelow(ComboFocalLength);
    dropDownBelow(ComboIrisPosition);
    Label1 = ui::addLabel(form, "Label1", "Focus setting:", Twips{360, 2160, 1095, 255});
    LabelFocusPos = ui::addLabel(form, "LabelFocusPos", "0", Twips{360, 2400, 1095, 285},
                                 ui::colour::kWhite, ui::colour::kBlue);
    LabelFocusPos->setAlignment(Qt::AlignCenter);
    CommandFocusUp = ui::addButton(form, "CommandFocusUp", "+", Twips{360, 2760, 495, 375});
    CommandFocusDn = ui::addButton(form, "CommandFocusDn", "-", Twips{960, 2760, 495, 375});

    HScroll = new QScrollBar(Qt::Horizontal, form);
    HScroll->setObjectName("HScroll");
    ui::place(HScroll, 2160, 720, 3615, 375);
    HScroll->setRange(kSliderMin, kSliderMax);
    HScroll->setValue(kSliderMin);

    Timer2.setParent(form); // among the window's controls, by its name
    Timer2.setObjectName("Timer2");
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer2.setInterval(kFocusFirstRepeatMs);

    // A choice of the operator's, by mouse, keyboard or wheel, also of the item already shown.
    // The one choice the program makes itself, at start-up, notifies from fillPresets.
    connect(ComboFocalLength, &QComboBox::activated, this, &LensPart::ComboFocalLength_Click);
    connect(ComboIrisPosition, &QComboBox::activated, this, &LensPart::ComboIrisPosition_Click);
    // Only a drag of the thumb moves the zoom; arrows, track and keys just move the slider.
    connect(HScroll, &QScrollBar::sliderMoved, this, &LensPart::HScroll_Scroll);

    // The focus buttons answer the mouse only: a press and its release, never the keyboard.
    auto *upHold = new ui::MouseHold(CommandFocusUp);
    auto *downHold = new ui::MouseHold(CommandFocusDn);
    connect(upHold, &ui::MouseHold::pressed, this, &LensPart::CommandFocusUp_MouseDown);
    connect(downHold, &ui::MouseHold::pressed, this, &LensPart::CommandFocusDn_MouseDown);
    connect(upHold, &ui::MouseHold::released, this, &LensPart::CommandFocus_MouseUp);
    connect(downHold, &ui::MouseHold::released, this, &LensPart::CommandFocus_MouseUp);
    connect(&Timer2, &QTimer::timeout, this, &LensPart::Timer2_Timer);
}

void LensPart::fillPresets()
{
    for (int i = 0; i < kFocalLengthCount; ++i)
        ComboFocalLength->addItem(QString::number(focalLengthAt(i)));
    ComboFocalLength->setCurrentIndex(0);
    ComboFocalLength_Click();
    for (const std::string_view stop : kIrisStops)
        ComboIrisPosition->addItem(QString::fromLatin1(stop.data(), qsizetype(stop.size())));
    ComboIrisPosition->setCurrentIndex(0);
    ComboIrisPosition_Click();
}

void LensPart::resetFocus()
{
    FocusDir = lens::FocusDir::None;
    FocusPos = 0;
}

void LensPart::ComboFocalLength_Click()
{
    const int index = ComboFocalLength->currentIndex();
    if (index < 0)
        return;
    m_context.channel.SendLine(zoomLine(index));
    m_context.focusSink();
}

void LensPart::ComboIrisPosition_Click()
{
    const int index = ComboIrisPosition->currentIndex();
    if (index < 0)
        return;
    m_context.channel.SendLine(irisLine(index));
    m_context.focusSink();
}

void LensPart::HScroll_Scroll()
{
    // While the thumb is dragged the value follows it, so the value is the thumb's position.
    m_context.channel.SendLine(sliderZoomLine(HScroll->sliderPosition()));
}

void LensPart::CommandFocusUp_MouseDown()
{
    startFocusRepeat(lens::FocusDir::Up);
}

void LensPart::CommandFocusDn_MouseDown()
{
    startFocusRepeat(lens::FocusDir::Down);
}

void LensPart::startFocusRepeat(lens::FocusDir direction)
{
    stepFocus(direction);
    FocusDir = direction;
    Timer2.setInterval(kFocusFirstRepeatMs);
    Timer2.start();
    m_context.focusSink();
}

void LensPart::CommandFocus_MouseUp()
{
    FocusDir = lens::FocusDir::None;
    Timer2.stop();
    m_context.focusSink();
}

void LensPart::Timer2_Timer()
{
    Timer2.setInterval(kFocusRepeatMs);
    if (FocusDir == lens::FocusDir::Up)
        stepFocus(lens::FocusDir::Up);
    if (FocusDir == lens::FocusDir::Down)
        stepFocus(lens::FocusDir::Down);
}

void LensPart::stopFocusRepeat()
{
    Timer2.stop();
    FocusDir = lens::FocusDir::None;
}

void LensPart::stepFocus(lens::FocusDir direction)
{
    // The line goes out at the limits too: the count is the window's, not the lens's.
    m_context.channel.SendLine(direction == lens::FocusDir::Up ? kFocusUpLine : kFocusDownLine);
    FocusPos = steppedFocusCount(FocusPos, direction);
    LabelFocusPos->setText(QString::number(FocusPos));
}

void LensPart::lockSlider(bool locked)
{
    HScroll->setEnabled(!locked);
}

void LensPart::lockColumn(bool locked)
{
    ui::setLocked({ComboFocalLength, ComboIrisPosition, CommandFocusUp, CommandFocusDn}, locked);
}

} // namespace lens
