#pragma once

#include <QColor>
#include <QWidget>

namespace ui {

// A filled rectangle or circle with a thin outline: the window's static panels and its lights.
class Shape : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { Rectangle, Circle };

    Shape(Kind kind, const QColor &fill, QWidget *parent);

    void setFillColor(const QColor &fill);
    [[nodiscard]] QColor fillColor() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind m_kind;
    QColor m_fill;
};

} // namespace ui
