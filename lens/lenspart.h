#pragma once

#include "focus.h"

#include "ui/partcontext.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QWidget;

namespace lens {

// The everyday operator column: focal length and iris presets, the focal length slider and the
// focus buttons.
class LensPart : public QObject
{
    Q_OBJECT
public:
    LensPart(QWidget *form, ui::PartContext context);

    // Fills both preset lists and selects their first item, which sends both presets.
    void fillPresets();

    // No focus button held, step count 0.
    void resetFocus();

    // The mouse moved over the window's bare surface: whatever the buttons say, the repeat ends.
    void stopFocusRepeat();

    // Takes the focal length slider away (`locked`) or gives it back.
    void lockSlider(bool locked);
    // Takes the preset lists and the focus buttons away or gives them back, in this order.
    void lockColumn(bool locked);

private slots:
    void ComboFocalLength_Click();
    void ComboIrisPosition_Click();
    // The slider's thumb is being dragged; called for every position it passes.
    void HScroll_Scroll();

    void CommandFocusUp_MouseDown();
    void CommandFocusDn_MouseDown();
    // Ends the hold of either focus button.
    void CommandFocus_MouseUp();
    void Timer2_Timer();

private:
    void startFocusRepeat(lens::FocusDir direction);
    void stepFocus(lens::FocusDir direction);

    QLabel *LabelFocalLength;
    QComboBox *ComboFocalLength;
    QLabel *LabelIrisPosition;
    QComboBox *ComboIrisPosition;
    QLabel *Label1;
    QLabel *LabelFocusPos;
    QPushButton *CommandFocusUp;
    QPushButton *CommandFocusDn;
    QScrollBar *HScroll;
    QTimer Timer2;

    std::int16_t FocusPos = 0;
    lens::FocusDir FocusDir = lens::FocusDir::None;

    ui::PartContext m_context;
};

} // namespace lens
