#include "logo.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>

namespace ui {

namespace {
constexpr int kWidth = 121;
constexpr int kHeight = 91;
// What the lens covers of the picture, pens included.
constexpr QRectF kLensBounds(7, 13, 105, 65);
// The icon shows the lens pointing up to the right.
constexpr double kIconTiltDegrees = -35;

void paintLens(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);

    // Barrel: a long body that widens toward the front element on the right.
    QPainterPath barrel;
    barrel.moveTo(8, 30);
    barrel.lineTo(70, 26);
    barrel.lineTo(96, 14);
    barrel.lineTo(96, 77);
    barrel.lineTo(70, 65);
    barrel.lineTo(8, 61);
    barrel.closeSubpath();
    QLinearGradient metal(0, 14, 0, 77);
    metal.setColorAt(0.0, QColor(70, 70, 200));
    metal.setColorAt(0.5, QColor(0, 0, 150));
    metal.setColorAt(1.0, QColor(0, 0, 90));
    painter.setPen(QPen(QColor(0, 0, 60), 1.5));
    painter.setBrush(metal);
    painter.drawPath(barrel);

    // Zoom and focus rings.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 220, 235));
    for (int x : {22, 30, 38})
        painter.drawRect(QRectF(x, 29.5, 4, 32));
    painter.setBrush(QColor(255, 200, 0));
    painter.drawRect(QRectF(56, 27.5, 6, 36));

    // Front element.
    QRadialGradient glass(QPointF(104, 40), 24);
    glass.setColorAt(0.0, QColor(200, 230, 255));
    glass.setColorAt(1.0, QColor(40, 90, 170));
    painter.setPen(QPen(QColor(0, 0, 60), 1.5));
    painter.setBrush(glass);
    painter.drawEllipse(QRectF(88, 14, 22, 63));
    painter.setPen(QPen(QColor(255, 255, 255, 200), 2));
    painter.drawArc(QRectF(93, 22, 12, 30), 60 * 16, 80 * 16);
}
} // namespace

QImage drawLogo()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintLens(painter);
    return image;
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // The lens alone, tilted so that it fills the square better, as large as fits and centred.
    QTransform tilt;
    tilt.rotate(kIconTiltDegrees);
    const QRectF tilted = tilt.mapRect(kLensBounds);
    const double scale = size / std::max(tilted.width(), tilted.height());
    painter.translate(size / 2.0, size / 2.0);
    painter.scale(scale, scale);
    painter.rotate(kIconTiltDegrees);
    painter.translate(-kLensBounds.center());
    paintLens(painter);
    return image;
}

} // namespace ui
