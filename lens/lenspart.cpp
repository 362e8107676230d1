#include "lenspart.h"

#include "presets.h"

#include "link/channel.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

namespace lens {

namespace {
constexpr int kSliderMin = 750; // tenths of a millimetre
constexpr int kSliderMax = 5000;
constexpr int kFocusFirstRepeatMs = 300;
} // namespace

LensPart::LensPart(QWidget *form, ui::PartContext context)
    : QObject(form), m_context(std::move(context))
{
    using ui::Twips;
    LabelFocalLength =
        ui::addLabel(form, "LabelFocalLength", "Focal length:", Twips{360, 720, 1095, 255});
    ComboFocalLength = ui::addComboBox(form, "ComboFocalLength", Twips{360, 960, 1095, 330});
    LabelIrisPosition =
        ui::addLabel(form, "LabelIrisPosition", "Iris position:", Twips{360, 1440, 1095, 255});
    ComboIrisPosition = ui::addComboBox(form, "ComboIrisPosition", Twips{360, 1680, 1095, 330});
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

    Timer2.setObjectName("Timer2");
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer2.setInterval(kFocusFirstRepeatMs);

    // Every change of the selection counts, also one made by the program itself.
    connect(ComboFocalLength, &QComboBox::currentIndexChanged, this,
            &LensPart::ComboFocalLength_Click);
    connect(ComboIrisPosition, &QComboBox::currentIndexChanged, this,
            &LensPart::ComboIrisPosition_Click);
}

void LensPart::fillPresets()
{
    for (int i = 0; i < kFocalLengthCount; ++i)
        ComboFocalLength->addItem(QString::number(focalLengthAt(i)));
    ComboFocalLength->setCurrentIndex(0);
    for (const std::string_view stop : kIrisStops)
        ComboIrisPosition->addItem(QString::fromLatin1(stop.data(), qsizetype(stop.size())));
    ComboIrisPosition->setCurrentIndex(0);
}

void LensPart::resetFocus()
{
    FocusDir = 0;
    FocusPos = 0;
}

void LensPart::setLocked(bool locked)
{
    HScroll->setEnabled(!locked);
    ComboFocalLength->setEnabled(!locked);
    ComboIrisPosition->setEnabled(!locked);
    CommandFocusUp->setEnabled(!locked);
    CommandFocusDn->setEnabled(!locked);
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

} // namespace lens
