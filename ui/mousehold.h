#pragma once

#include <QObject>

class QAbstractButton;

namespace ui {

// The mouse hold of a button: `pressed` when a mouse button goes down on it (any button, any
// modifier), `released` when the hold ends. The keyboard never starts a hold. Every hold ends:
// with the release of the mouse button wherever the pointer is then, or at once when the window
// loses the mouse while the button is held (deactivated, blocked by a modal box, hidden, closed)
// or the button is disabled or hidden, so whatever a hold started never outlives it.
class MouseHold : public QObject
{
    Q_OBJECT
public:
    explicit MouseHold(QAbstractButton *button);

    [[nodiscard]] bool isHeld() const { return m_held; }

signals:
    void pressed();
    void released();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void end();

    QAbstractButton *m_button;
    QObject *m_window;
    bool m_held = false;
};

} // namespace ui
