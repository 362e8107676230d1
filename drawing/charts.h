#pragma once

#include "camtable/camcheck.h"
#include "quality/ucharts.h"
#include "runlog/runlog.h"

#include <QString>

#include <memory>

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

// A u-chart: each run's errors per move, oldest first, with the centre line and each point's
// limits; the flagged points in red.
std::unique_ptr<QChart> errorRateChart(const QString &title, const quality::UChart &chart);

// Lays the chart out at the target's size and paints it there.
void drawChart(QPainter &painter, std::unique_ptr<QChart> chart, const QRectF &target);

} // namespace drawing
