#include "shape.h"

#include <QPainter>

namespace ui {

Shape::Shape(Kind kind, const QColor &fill, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_fill(fill)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setFillColor(const QColor &fill)
{
    if (fill == m_fill)
        return;
    m_fill = fill;
    update();
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, m_kind == Kind::Circle);
    painter.setBrush(m_fill);
    if (m_kind == Kind::Circle) {
        painter.setPen(QPen(Qt::black, 1));
        const int side = std::min(width(), height()) - 1;
        painter.drawEllipse(QRectF(0.5, 0.5, side - 0.5, side - 0.5));
    } else {
        painter.setPen(Qt::NoPen);
        painter.drawRect(rect());
    }
}

} // namespace ui
