#pragma once

#include <QColor>
#include <QString>
#include <Qt>

class QFont;
class QWidget;

// Helpers shared by every window: positions and sizes in twips, colours, the window font.
namespace ui {

// 1440 twips to the inch: 15 twips per pixel at 96 dpi.
int toPixels(int twips, int dpi);
int toTwips(int pixels, int dpi);

// Places `widget` within its parent; the numbers are twips at the widget's logical dpi.
void place(QWidget *widget, int left, int top, int width, int height);

// A top-level window with a title and a close button and a border the operator cannot drag.
inline constexpr Qt::WindowFlags kFixedWindow = Qt::Window | Qt::CustomizeWindowHint |
                                                Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                                Qt::MSWindowsFixedSizeDialogHint;

// Gives a top-level window this outer size in twips, frame included, and keeps the operator
// from resizing it. Given before the window is shown, it holds once a window manager has framed it.
void setOuterSize(QWidget *window, int width, int height);

// Moves a top-level window's outer frame to this place in twips, also when the frame comes later.
void moveTo(QWidget *window, int left, int top);

// The widget's surface and the colour of its text.
void setColours(QWidget *widget, const QColor &background, const QColor &text);

// Calibri, or a face with the same metrics where Calibri is not installed.
QFont windowFont(int pointSize = 9);

namespace colour {
inline const QColor kBlue{0, 0, 255};
inline const QColor kWhite{255, 255, 255};
inline const QColor kGreen{0, 255, 0};
inline const QColor kRed{255, 0, 0};
inline const QColor kDarkGrey{64, 64, 64};
inline const QColor kLightBlue{192, 192, 255};
inline const QColor kCyan{0, 255, 255};
inline const QColor kLightOrange{255, 192, 128};
inline const QColor kLightGreen{128, 255, 128};
inline const QColor kLightRed{255, 128, 128};
} // namespace colour

} // namespace ui
