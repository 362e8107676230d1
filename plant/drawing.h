#pragma once

#include "base/result.h"
#include "camtable/camcheck.h"
#include "quality/ucharts.h"
#include "runs/runrecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

// The work that needs the application's own thread: Qt Charts draws with the graphics view, and
// so does the PDF. The HTTP server's threads hand it over and wait, but never past the deadline.
namespace plant {

using Clock = std::chrono::steady_clock;

// Runs `work` on the thread of the application object and waits for it. False when it was not
// done by `deadline`: it is then dropped if it has not begun. From the application's own thread
// it runs at once.
bool onGuiThread(const std::function<void()> &work, Clock::time_point deadline);

// One chart as SVG, with its title for the page.
struct SvgChart
{
    QString title;
    QByteArray svg; // an <svg> element, without the XML declaration
};

struct RunCharts
{
    std::vector<SvgChart> charts; // the position of each axis, then the errors
    QString note;                 // of errors that could not be placed
};

// The report's charts of a run, drawn by the report's own chart code. On the application's thread.
RunCharts drawRunCharts(const runs::RunRecord &run);

// First-pass yield per ISO week, one line per station and one for the plant.
struct YieldTrend
{
    struct Line
    {
        QString name;
        std::vector<std::optional<double>> yield; // percent, per week; none without new lenses
        std::vector<int> lenses;                  // the new lenses under each yield
    };
    QStringList weeks;                       // in order, "2026-W49"
    std::vector<Line> lines;                 // the plant's first
    [[nodiscard]] QByteArray digest() const; // of what the chart shows, to keep it by
};

// The trend as the report's chart code draws it, each point with its title (a tooltip that names
// its station, week, yield and lenses). On the application's thread.
SvgChart drawYieldTrend(const YieldTrend &trend);

// Each u-chart under its title, small, by the report's chart code. On the application's thread.
std::vector<SvgChart>
drawErrorRateCharts(const std::vector<std::pair<QString, quality::UChart>> &charts);

// What velmaro-report --run ID -o writes, with the lens's cam table that runs::CamStore::tableOfRun
// found for it. On the application's thread.
base::Result<QByteArray> drawRunReport(const runs::RunRecord &run,
                                       const std::optional<camtable::CamTable> &cam);

} // namespace plant
