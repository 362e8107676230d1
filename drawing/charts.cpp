#include "charts.h"

#include "series.h"

#include "runin/verdict.h"
#include "runlog/summary.h"

#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>

namespace drawing {

using runlog::Axis;
using runlog::axisTitle;
using runlog::Entry;
using runlog::kAxes;
using runlog::RunLog;

namespace {

// About two points per printed column of a chart across the page.
constexpr std::size_t kMaxPoints = 1600;

const std::array kAxisColours{QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e),
                              QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd)};

QColor colourOf(Axis axis)
{
    return kAxisColours.at(static_cast<std::size_t>(axis));
}

std::unique_ptr<QChart> newChart(const QString &title)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setPointSizeF(10);
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QValueAxis *valueAxis(const QString &title)
{
    auto *axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

void attach(QChart &chart, QAbstractSeries *series, QAbstractAxis *x, QAbstractAxis *y)
{
    chart.addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

QList<QPointF> qtPoints(const std::vector<Point> &points)
{
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const Point &point : points)
        list.append({point.x, point.y});
    return list;
}

// Leaves room around the values so that points on the edge stay visible.
void spanOf(QValueAxis *axis, double low, double high)
{
    const double pad = std::max((high - low) * 0.05, 1.0);
    axis->setRange(low - pad, high + pad);
    axis->applyNiceNumbers();
}

// The first and last time the log reads, in milliseconds since the epoch, at least a minute
// apart.
std::pair<double, double> timeSpan(const RunLog &log)
{
    double first = 0, last = 0;
    bool timed = false;
    for (const Entry &entry : log.entries) {
        if (!entry.moment)
            continue;
        const auto at = static_cast<double>(entry.moment->toMSecsSinceEpoch());
        first = timed ? std::min(first, at) : at;
        last = timed ? std::max(last, at) : at;
        timed = true;
    }
    if (!timed) {
        // No time read anywhere: an hour's span keeps the axis drawable.
        first = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
        last = first;
    }
    if (last - first < 60'000)
        last = first + 60'000;
    return {first, last};
}

// The threshold either way across the span, with one legend entry for the pair.
void thresholdLines(QChart &chart, QAbstractAxis *x, QAbstractAxis *y, double first, double last)
{
    for (const double threshold :
         {double{runin::kErrorThreshold}, double{-runin::kErrorThreshold}}) {
        auto *line = new QLineSeries;
        line->setName(QStringLiteral("\u00b110"));
        line->setPen(QPen(Qt::red, 1, Qt::DashLine));
        line->append(first, threshold);
        line->append(last, threshold);
        attach(chart, line, x, y);
    }
    chart.legend()->markers().constLast()->setVisible(false);
}

} // namespace

std::unique_ptr<QChart> positionChart(const RunLog &log, Axis axis)
{
    auto chart = newChart(axisTitle(axis) + QStringLiteral(": position reached, move by move"));
    chart->legend()->hide();
    const std::vector<Point> points = positionsOf(log, axis);
    auto *x = valueAxis(QStringLiteral("move"));
    auto *y = valueAxis(QStringLiteral("position"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    if (points.empty()) {
        chart->setTitle(chart->title() + QStringLiteral(" (none)"));
        x->setRange(0, 1);
        y->setRange(0, 1);
        return chart;
    }
    auto *series = new QLineSeries;
    series->setPen(QPen(colourOf(axis), 1.2));
    const std::vector<Point> drawn = thinned(points, kMaxPoints);
    series->replace(qtPoints(drawn));
    series->setPointsVisible(drawn.size() <= 200);
    attach(*chart, series, x, y);
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(), [](const Point &a, const Point &b) { return a.y < b.y; });
    x->setRange(0, points.back().x + 1);
    x->applyNiceNumbers();
    spanOf(y, low->y, high->y);
    return chart;
}

std::unique_ptr<QChart> errorChart(const RunLog &log, QString &note)
{
    auto chart = newChart(QStringLiteral("Position errors over time, threshold \u00b110"));
    auto *x = new QDateTimeAxis;
    x->setTitleText(QStringLiteral("time"));
    auto *y = valueAxis(QStringLiteral("position error"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    const auto [first, last] = timeSpan(log);
    double low = -runin::kErrorThreshold, high = runin::kErrorThreshold;
    int undated = 0;
    for (const Axis axis : kAxes) {
        int axisUndated = 0;
        const std::vector<Point> points = errorsOf(log, axis, axisUndated);
        undated += axisUndated;
        if (points.empty())
            continue;
        auto *series = new QScatterSeries;
        series->setName(axisTitle(axis));
        series->setColor(colourOf(axis));
        series->setBorderColor(colourOf(axis));
        series->setMarkerSize(6);
        series->replace(qtPoints(thinned(points, kMaxPoints)));
        for (const Point &point : points) {
            low = std::min(low, point.y);
            high = std::max(high, point.y);
        }
        attach(*chart, series, x, y);
    }
    thresholdLines(*chart, x, y, first, last);
    const double span = last - first;
    x->setFormat(span < 3'600'000.0        ? QStringLiteral("HH:mm:ss")
                 : span < 2 * 86'400'000.0 ? QStringLiteral("HH:mm")
                                           : QStringLiteral("d MMM HH:mm"));
    // A little room either side, so that the first and last errors stand clear of the frame.
    const double pad = span * 0.01;
    x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first - pad)),
                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last + pad)));
    spanOf(y, low, high);
    note.clear();
    if (undated > 0)
        note = QStringLiteral("%1 error(s) without a readable time are not in this chart; the "
                              "table on page 1 counts them.")
                   .arg(undated);
    return chart;
}

std::unique_ptr<QChart> camChart(const camtable::CamTable &table)
{
    auto chart = newChart(QStringLiteral("Cam table: zoom positions against the focal length"));
    auto *x = valueAxis(QStringLiteral("focal length (mm)"));
    auto *y = valueAxis(QStringLiteral("position"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    // A tick every 25 mm from 75, as the focal-length list counts.
    x->setRange(75, 500);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(75);
    x->setTickInterval(25);
    double low = 0, high = 0;
    bool any = false;
    for (const int zoom : {1, 2}) {
        const QColor colour = colourOf(zoom == 1 ? Axis::Zoom1 : Axis::Zoom2);
        QLineSeries *run = nullptr;
        bool named = false;
        for (const camtable::CamPoint &point : table.points) {
            const auto value = zoom == 1 ? point.zoom1 : point.zoom2;
            if (!value) {
                run = nullptr; // an unrecorded row breaks the line
                continue;
            }
            if (run == nullptr) {
                run = new QLineSeries;
                run->setPen(QPen(colour, 1.5));
                run->setPointsVisible(true);
                run->setName(QStringLiteral("Zoom %1").arg(zoom));
                attach(*chart, run, x, y);
                if (named)
                    chart->legend()->markers(run).constFirst()->setVisible(false);
                named = true;
            }
            run->append(point.focalLength, *value);
            low = any ? std::min(low, *value) : *value;
            high = any ? std::max(high, *value) : *value;
            any = true;
        }
    }
    spanOf(y, low, high);
    return chart;
}

std::unique_ptr<QChart> trendChart(const QString &title, const QString &valueTitle,
                                   const QStringList &categories,
                                   const std::vector<TrendLine> &lines)
{
    // Ten colours that tell apart; past ten lines they come again, dashed.
    static const std::array<QColor, 10> kColours{
        QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
        QColor(0xd6, 0x27, 0x28), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
        QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
        QColor(0x17, 0xbe, 0xcf)};
    auto chart = newChart(title);
    chart->legend()->setAlignment(Qt::AlignRight);
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // At most about a dozen labels across, the latest category always among them.
    const auto count = static_cast<int>(categories.size());
    const int every = std::max(1, (count + 11) / 12);
    for (int index = (count - 1) % every; index < count; index += every)
        x->append(categories.at(index), index);
    x->setRange(-0.5, std::max(0.5, count - 0.5));
    auto *y = valueAxis(valueTitle);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double low = 100;
    std::size_t coloured = 0;
    // The emphasised lines last, so that they are drawn over the others.
    std::vector<const TrendLine *> order;
    for (const bool emphasised : {false, true})
        for (const TrendLine &line : lines)
            if (line.emphasised == emphasised)
                order.push_back(&line);
    for (const TrendLine *each : order) {
        const TrendLine &line = *each;
        const auto index = static_cast<std::size_t>(each - lines.data());
        QPen pen(line.emphasised ? QColor(0x14, 0x28, 0x3d) : kColours.at(coloured % 10),
                 line.emphasised ? 3.0 : 1.6);
        if (!line.emphasised && coloured++ >= kColours.size())
            pen.setStyle(Qt::DashLine);
        QLineSeries *run = nullptr;
        bool named = false;
        for (std::size_t week = 0; week < line.values.size(); ++week) {
            const std::optional<double> value = line.values.at(week);
            if (!value) {
                run = nullptr; // no value that week: a gap
                continue;
            }
            if (run == nullptr) {
                run = new QLineSeries;
                run->setPen(pen);
                run->setName(line.name);
                run->setProperty("line", QVariant::fromValue(index));
                attach(*chart, run, x, y);
                if (named)
                    chart->legend()->markers(run).constFirst()->setVisible(false);
                named = true;
            }
            run->append(static_cast<double>(week), *value);
            low = std::min(low, *value);
        }
    }
    // From a round ten below the lowest value to the top, so that small changes near 100 show.
    const double bottom = std::max(0.0, std::floor((low - 5) / 10.0) * 10.0);
    y->setRange(bottom, 100);
    y->setTickCount(static_cast<int>((100 - bottom) / (bottom >= 50 ? 10 : 20)) + 1);
    return chart;
}

std::unique_ptr<QChart> errorRateChart(const QString &title, const quality::UChart &chart)
{
    auto drawn = newChart(title);
    auto *x = valueAxis(QStringLiteral("run, oldest first"));
    auto *y = valueAxis(QStringLiteral("errors per move"));
    y->setLabelFormat(QStringLiteral("%.3g"));
    drawn->addAxis(x, Qt::AlignBottom);
    drawn->addAxis(y, Qt::AlignLeft);
    const auto count = static_cast<double>(chart.points.size());
    // A tick on whole runs only: every run, every 5th, every 10th, ...
    x->setRange(0.5, std::max(count, 1.0) + 0.5);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    double step = 1;
    while (count / step > 12)
        step *= step == 1 || std::log10(step) == std::floor(std::log10(step)) ? 5 : 2;
    x->setTickInterval(step);
    x->setLabelsVisible(count > 0);
    auto *rates = new QLineSeries;
    rates->setName(QStringLiteral("errors per move"));
    rates->setPen(QPen(QColor(0x1f, 0x5f, 0x9e), 1.2));
    rates->setPointsVisible(true);
    auto *upper = new QLineSeries, *lower = new QLineSeries, *centre = new QLineSeries;
    upper->setName(QStringLiteral("limits"));
    for (QLineSeries *limit : {upper, lower})
        limit->setPen(QPen(Qt::red, 1, Qt::DashLine));
    centre->setName(QStringLiteral("centre"));
    centre->setPen(QPen(Qt::darkGray, 1));
    auto *flagged = new QScatterSeries;
    flagged->setName(QStringLiteral("flagged"));
    flagged->setColor(Qt::red);
    flagged->setBorderColor(Qt::red);
    flagged->setMarkerSize(9);
    double high = chart.centre * 2;
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        const quality::UPoint &point = chart.points.at(i);
        const double at = static_cast<double>(i + 1);
        rates->append(at, point.rate);
        // Each limit as steps: one level across each point's width.
        upper->append({{at - 0.5, point.ucl}, {at + 0.5, point.ucl}});
        lower->append({{at - 0.5, point.lcl}, {at + 0.5, point.lcl}});
        high = std::max({high, point.rate, point.ucl});
        if (std::any_of(chart.flagged.begin(), chart.flagged.end(),
                        [&point](const quality::UFlag &flag) { return flag.run == point.run; }))
            flagged->append(at, point.rate);
    }
    centre->append({{0.5, chart.centre}, {std::max(count, 1.0) + 0.5, chart.centre}});
    for (QAbstractSeries *series :
         std::initializer_list<QAbstractSeries *>{centre, upper, lower, rates, flagged})
        attach(*drawn, series, x, y);
    drawn->legend()->markers(lower).constFirst()->setVisible(false);
    y->setRange(0, high > 0 ? high * 1.1 : 1);
    y->applyNiceNumbers();
    return drawn;
}

void drawChart(QPainter &painter, std::unique_ptr<QChart> chart, const QRectF &target,
               const std::function<void(QChart &)> &painted)
{
    QGraphicsScene scene;
    QChart *drawn = chart.release();
    scene.addItem(drawn); // the scene owns it from here
    drawn->setGeometry(QRectF(QPointF(0, 0), target.size()));
    scene.setSceneRect(drawn->geometry());
    scene.render(&painter, target, scene.sceneRect());
    if (painted)
        painted(*drawn);
}

} // namespace drawing
