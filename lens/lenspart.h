#pragma once

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

    void setLocked(bool locked);

    void ComboFocalLength_Click();
    void ComboIrisPosition_Click();

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
    std::int16_t FocusDir = 0; // 0 none, 1 up, 2 down

private:
    ui::PartContext m_context;
};

} // namespace lens
