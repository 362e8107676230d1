#include "form.h"

#include <QFont>
#include <QFontDatabase>
#include <QWidget>

#include <cmath>

namespace ui {

namespace {
constexpr int kTwipsPerInch = 1440;
} // namespace

int toPixels(int twips, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

int toTwips(int pixels, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(pixels) * kTwipsPerInch / dpi));
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    const int dpi = widget->logicalDpiX();
    widget->setGeometry(toPixels(left, dpi), toPixels(top, dpi), toPixels(width, dpi),
                        toPixels(height, dpi));
}

void setOuterSize(QWidget *window, int width, int height)
{
    const int dpi = window->logicalDpiX();
    // Before the window is first shown the frame is unknown and counts as none.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->setFixedSize(toPixels(width, dpi) - frame.width(),
                         toPixels(height, dpi) - frame.height());
}

void moveTo(QWidget *window, int left, int top)
{
    const int dpi = window->logicalDpiX();
    window->move(toPixels(left, dpi), toPixels(top, dpi));
}

void setColours(QWidget *widget, const QColor &background, const QColor &text)
{
    // Only the surface and its text: buttons, lists and text boxes placed on a coloured surface
    // keep their own colours.
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    // Some controls, check boxes among them, draw their surface in another role.
    palette.setColor(widget->backgroundRole(), background);
    palette.setColor(widget->foregroundRole(), text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QFont windowFont(int pointSize)
{
    // Carlito is drawn to Calibri's metrics, so the layout holds on machines without Calibri.
    QFont::insertSubstitutions(QStringLiteral("Calibri"),
                               {QStringLiteral("Carlito"), QStringLiteral("DejaVu Sans")});
    QFont font(QStringLiteral("Calibri"), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace ui
