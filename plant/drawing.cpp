#include "drawing.h"

#include "drawing/charts.h"
#include "drawing/runreport.h"
#include "runlog/runlog.h"

#include <QBuffer>
#include <QChart>
#include <QCoreApplication>
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

QByteArray chartSvg(std::unique_ptr<QChart> chart, const QSize &size)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        QPainter painter(&svg);
        drawing::drawChart(painter, std::move(chart), QRectF(QPointF(0, 0), size));
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
    return tag + text.mid(tagEnd);
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
