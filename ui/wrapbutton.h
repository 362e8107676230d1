#pragma once

#include <QPushButton>

namespace ui {

// A push button whose caption wraps onto further lines when it is wider than the button, as the
// captions of the window's narrow buttons need.
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace ui
