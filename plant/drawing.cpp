#include "drawing.h"
#include "html.h"

#include "drawing/charts.h"
#include "drawing/runreport.h"
#include "runlog/runlog.h"

#include <QBuffer>
#include <QChart>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QLineSeries>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace plant {

namespace {

// One handed-over piece of work and its outcome, shared by both threads.
struct Handover
{
    std::mutex mutex;
    std::condition_variable done;
    bool started = false, finished = false, dropped = false;
};

// The chart as an <svg> element; `extra`, when given, adds markup at its end from the chart as it
// was laid out.
QByteArray chartSvg(std::unique_ptr<QChart> chart, const QSize &size,
                    const std::function<QByteArray(QChart &)> &extra = {})
{
    QByteArray added;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        QPainter painter(&svg);
        drawing::drawChart(painter, std::move(chart), QRectF(QPointF(0, 0), size),
                           [&](QChart &drawn) {
                               if (extra)
                                   added = extra(drawn);
                           });
    }
    QByteArray text = buffer.data();
    // The element goes inside the page: no declaration, and no fixed size in millimetres.
    const qsizetype begin = text.indexOf("<svg");
    if (begin > 0)
        text.remove(0, begin);
    const qsizetype tagEnd = text.indexOf('>');
    QByteArray tag = text.left(tagEnd);
    static const QRegularExpression fixedSize(QStringLiteral(R"(\s(width|height)="[^"]*")"));
    tag = QString::fromUtf8(tag).remove(fixedSize).toUtf8();
    // The generator opens a group at each change of pen or brush, most of them left empty.
    static const QRegularExpression emptyGroup(QStringLiteral(R"(<g\b[^>]*>\s*</g>\s*)"));
    text = tag + QString::fromUtf8(text.mid(tagEnd)).remove(emptyGroup).toUtf8();
    if (!added.isEmpty())
        text.insert(text.lastIndexOf("</svg>"), added);
    return text;
}

} // namespace

bool onGuiThread(const std::function<void()> &work, Clock::time_point deadline)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (QThread::currentThread() == app->thread()) {
        work();
        return true;
    }
    auto handover = std::make_shared<Handover>();
    QMetaObject::invokeMethod(
        app,
        [handover, work] {
            {
                const std::lock_guard lock(handover->mutex);
                if (handover->dropped)
                    return;
                handover->started = true;
            }
            work();
            const std::lock_guard lock(handover->mutex);
            handover->finished = true;
            handover->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(handover->mutex);
    if (handover->done.wait_until(lock, deadline, [&] { return handover->finished; }))
        return true;
    if (!handover->started) {
        handover->dropped = true;
        return false;
    }
    // Begun: `work` holds the caller's state, so wait for it to end before giving up.
    handover->done.wait(lock, [&] { return handover->finished; });
    return Clock::now() <= deadline;
}

RunCharts drawRunCharts(const runs::RunRecord &run)
{
    const runlog::RunLog log = runlog::readLog(run.complete, QStringLiteral("Log Complete.txt"));
    RunCharts drawn;
    const QSize size(760, 300);
    for (const runlog::Axis axis : runlog::kAxes)
        drawn.charts.push_back(
            {QStringLiteral("%1: positions reached").arg(runlog::axisTitle(axis)),
             chartSvg(drawing::positionChart(log, axis), size)});
    drawn.charts.push_back({QStringLiteral("Position errors over the run"),
                            chartSvg(drawing::errorChart(log, drawn.note), QSize(760, 340))});
    return drawn;
}

QByteArray YieldTrend::digest() const
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(weeks.join(u'\n').toUtf8());
    for (const Line &line : lines) {
        hash.addData(QByteArray("\n\n") + line.name.toUtf8());
        for (std::size_t week = 0; week < line.yield.size(); ++week)
            hash.addData(QStringLiteral("\n%1 %2")
                             .arg(line.yield.at(week)
                                      ? QString::number(*line.yield.at(week), 'g', 17)
                                      : QStringLiteral("-"))
                             .arg(line.lenses.at(week))
                             .toUtf8());
    }
    return hash.result().toHex();
}

SvgChart drawYieldTrend(const YieldTrend &trend)
{
    std::vector<drawing::TrendLine> lines;
    for (const YieldTrend::Line &line : trend.lines)
        lines.push_back({line.name, line.yield, lines.empty()});
    const QString title = QStringLiteral("First-pass yield per ISO week");
    auto chart =
        drawing::trendChart(title, QStringLiteral("first-pass yield (%)"), trend.weeks, lines);
    // Each point as a circle in its line's colour with its title, which a browser shows on
    // hovering: far smaller than the chart's own markers, each of which carries its whole style.
    const auto points = [&trend](QChart &drawn) {
        QByteArray marks = "<g class=\"points\" stroke=\"#ffffff\" stroke-width=\"1\">\n";
        for (QAbstractSeries *series : drawn.series()) {
            const auto *run = qobject_cast<QLineSeries *>(series);
            const auto index = run->property("line").value<std::size_t>();
            const YieldTrend::Line &line = trend.lines.at(index);
            for (const QPointF &point : run->points()) {
                const auto week = static_cast<std::size_t>(point.x());
                const QPointF at = drawn.mapToPosition(point, series);
                marks += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"><title>"
                                        "%5, %6: %7 of %8 new lens(es)</title></circle>\n")
                             .arg(at.x(), 0, 'f', 1)
                             .arg(at.y(), 0, 'f', 1)
                             .arg(index == 0 ? 5 : 4)
                             .arg(run->pen().color().name(), escaped(line.name),
                                  trend.weeks.at(qsizetype(week)), percent(line.yield.at(week)))
                             .arg(line.lenses.at(week))
                             .toUtf8();
            }
        }
        return marks + "</g>\n";
    };
    return {title, chartSvg(std::move(chart), QSize(900, 400), points)};
}

std::vector<SvgChart>
drawErrorRateCharts(const std::vector<std::pair<QString, quality::UChart>> &charts)
{
    std::vector<SvgChart> drawn;
    for (const auto &[title, chart] : charts)
        drawn.push_back({title, chartSvg(drawing::errorRateChart(title, chart), QSize(560, 260))});
    return drawn;
}

base::Result<QByteArray> drawRunReport(const runs::RunRecord &run,
                                       const std::optional<camtable::CamTable> &cam)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (auto written = drawing::writeRunReport(run, cam, buffer); !written)
        return written.failure();
    return buffer.data();
}

} // namespace plant
