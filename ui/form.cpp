#include "form.h"

#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QMargins>
#include <QWidget>

#include <cmath>
#include <optional>

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

namespace {

QMargins frameMargins(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// Holds a top-level window to the outer size and place it was given, frame included. A window
// manager frames a window only after it is shown, so a size given before that lands on the
// client area; whenever the window turns up with a frame other than the one last counted, the
// size and place are given again.
class OuterGeometry : public QObject
{
public:
    static OuterGeometry &of(QWidget *window)
    {
        auto *keeper = window->findChild<QObject *>(kName, Qt::FindDirectChildrenOnly);
        return keeper != nullptr ? *static_cast<OuterGeometry *>(keeper)
                                 : *new OuterGeometry(window);
    }

    void setSize(QSize size)
    {
        m_size = size;
        applySize();
    }

    void setPosition(QPoint position)
    {
        m_position = position;
        applyPosition();
    }

protected:
    bool eventFilter(QObject * /*watched*/, QEvent *event) override
    {
        const auto type = event->type();
        if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) &&
            frameMargins(m_window) != m_frame) {
            applySize();
            applyPosition();
        }
        return false;
    }

private:
    static constexpr const char *kName = "OuterGeometry";

    explicit OuterGeometry(QWidget *window) : QObject(window), m_window(window)
    {
        setObjectName(kName);
        window->installEventFilter(this);
    }

    void applySize()
    {
        if (m_size.isEmpty())
            return;
        m_frame = frameMargins(m_window);
        m_window->setFixedSize(m_size.shrunkBy(m_frame));
    }

    void applyPosition()
    {
        if (!m_position)
            return;
        m_frame = frameMargins(m_window);
        // The client area's place: the frame's corner plus the frame's left and top.
        m_window->setGeometry(
            QRect(*m_position + QPoint(m_frame.left(), m_frame.top()), m_window->size()));
    }

    QWidget *m_window;
    QSize m_size;
    std::optional<QPoint> m_position;
    QMargins m_frame;
};

} // namespace

void setOuterSize(QWidget *window, int width, int height)
{
    const int dpi = window->logicalDpiX();
    OuterGeometry::of(window).setSize({toPixels(width, dpi), toPixels(height, dpi)});
}

void moveTo(QWidget *window, int left, int top)
{
    const int dpi = window->logicalDpiX();
    OuterGeometry::of(window).setPosition({toPixels(left, dpi), toPixels(top, dpi)});
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
