#include "mousehold.h"

#include <QAbstractButton>
#include <QEvent>

namespace ui {

MouseHold::MouseHold(QAbstractButton *button)
    : QObject(button), m_button(button), m_window(button->window())
{
    m_button->installEventFilter(this);
    m_window->installEventFilter(this);
}

bool MouseHold::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_button) {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: // a quick second press is a press like the first
            if (!m_held && m_button->isEnabled()) {
                m_held = true;
                emit pressed();
            }
            break;
        case QEvent::MouseButtonRelease:
            if (m_held) {
                m_held = false;
                emit released();
            }
            break;
        case QEvent::Hide:
            if (m_held)
                end();
            break;
        case QEvent::EnabledChange:
            if (m_held && !m_button->isEnabled())
                end();
            break;
        default:
            break;
        }
    } else if (watched == m_window && m_held) {
        switch (type) {
        case QEvent::WindowDeactivate:
        case QEvent::WindowBlocked:
        case QEvent::Hide:
        case QEvent::Close:
            end();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MouseHold::end()
{
    // The mouse button is still down somewhere, but this window will not hear of its release.
    m_held = false;
    m_button->setDown(false);
    emit released();
}

} // namespace ui
