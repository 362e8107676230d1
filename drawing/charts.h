#pragma once

#include "camtable/camcheck.h"
#include "quality/ucharts.h"
#include "runlog/runlog.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QChart;
class QPainter;
class QRectF;

// The report's charts, drawn by Qt Charts.
namespace drawing {

// The positions reached by one axis, move by move.
std::unique_ptr<QChart> positionChart(const runlog::RunLog &log, runlog::Axis axis);

// Every reported error over the run's time, each axis in its colour, with the threshold either
// way. `note` tells of errors that could not be placed.
std::unique_ptr<QChart> errorChart(const runlog::RunLog &log, QString &note);

// Zoom 1 and Zoom 2 against the focal length; unrecorded rows leave gaps.
std::unique_ptr<QChart> camChart(const camtable::CamTable &table);

// One line of a trend: its value at each category, none where it has none (a gap in the line).
struct TrendLine
{
    QString name;
    std::vector<std::optional<double>> values;
    bool emphasised = false; // drawn dark and thick: the whole that the others are parts of
};

// Percentages (0 to 100) over categories in their order (weeks), one line each. The x value of a
// category is its index. The points are not marked: each series holds the index of its line in
// the property "line", for the caller to mark them as it needs.
std::unique_ptr<QChart> trendChart(const QString &title, const QString &valueTitle,
                                   const QStringList &categories,
                                   const std::vector<TrendLine> &lines);

// A u-chart: each run's errors per move, oldest first, with the centre line and each point's
// limits; the flagged points in red.
std::unique_ptr<QChart> errorRateChart(const QString &title, const quality::UChart &chart);

// Lays the chart out at the target's size and paints it there; `painted`, when given, sees the
// chart laid out, for instance to find where its points are.
void drawChart(QPainter &painter, std::unique_ptr<QChart> chart, const QRectF &target,
               const std::function<void(QChart &)> &painted = {});

} // namespace drawing
