#include "attention.h"

#include "quality/ucharts.h"
#include "runin/verdict.h"
#include "runs/progressstore.h"
#include "runs/runstore.h"

#include <QUuid>

#include <map>

namespace plant {

namespace {

constexpr int kFailedInARow = 3;
constexpr int kFlaggedAmongLatest = 5;
constexpr int kLookBackWeeks = 2;

// The ids' namespace: the same item gets the same id from any server of the plant.
const QUuid kItemIds(QStringLiteral("{6f1d8c2e-4b7a-5e90-9c3d-2a8b7f6e1d05}"));

AttentionItem item(const QString &what, const QString &title, const QString &link,
                   const QDateTime &updated)
{
    return {QStringLiteral("urn:uuid:") +
                QUuid::createUuidV5(kItemIds, what).toString(QUuid::WithoutBraces),
            title, link, updated};
}

QString lensAddress(const QString &serial)
{
    const QString link = serialLink(serial);
    const qsizetype from = link.indexOf(u'"') + 1;
    return link.mid(from, link.indexOf(u'"', from) - from);
}

// The station's latest runs all failed, 3 or more of them: since the third.
void failedInARow(const QString &station, const std::vector<quality::RunCounts> &latest,
                  std::vector<AttentionItem> &items)
{
    std::size_t streak = 0;
    while (streak < latest.size() && !runin::passes(latest.at(latest.size() - 1 - streak).errors))
        ++streak;
    if (streak < kFailedInARow)
        return;
    const quality::RunCounts &third = latest.at(latest.size() - streak + kFailedInARow - 1);
    items.push_back(item(QStringLiteral("failed in a row\n") + station,
                         QStringLiteral("%1: its latest %2 runs failed")
                             .arg(station, QString::number(kFailedInARow)),
                         QStringLiteral("/runs?station=%1").arg(urlPart(station)), third.start));
}

// A point of the station's u-charts flagged among its latest 5 runs, on any axis.
void flaggedLately(const QString &station, const std::vector<quality::RunCounts> &latest,
                   std::vector<AttentionItem> &items)
{
    std::map<QString, QDateTime> recent;
    for (std::size_t i = latest.size() > kFlaggedAmongLatest ? latest.size() - kFlaggedAmongLatest
                                                             : 0;
         i < latest.size(); ++i)
        recent[latest.at(i).run] = latest.at(i).start;
    QStringList axes;
    QDateTime newest;
    for (int axis = 0; axis < runs::kAxisCount; ++axis) {
        bool flagged = false;
        for (const quality::UFlag &flag : quality::uChart(latest, axis).flagged)
            if (const auto found = recent.find(flag.run); found != recent.end()) {
                flagged = true;
                newest = std::max(newest, found->second);
            }
        if (flagged)
            axes << runs::axisName(axis);
    }
    if (!axes.isEmpty())
        items.push_back(item(QStringLiteral("flagged\n") + station,
                             QStringLiteral("%1: errors per move out of control on %2 among the "
                                            "latest %3 runs")
                                 .arg(station, axes.join(QStringLiteral(", ")),
                                      QString::number(kFlaggedAmongLatest)),
                             stationAddress(station), newest));
}

// Lenses whose latest two runs failed on one axis, the latest since `since`: one item per axis.
base::Status failedTwice(runs::RunDatabase &records, const QDateTime &since,
                         std::vector<AttentionItem> &items)
{
    auto runs = quality::latestTwoOfFailedLenses(records, since);
    if (!runs)
        return runs.failure();
    for (std::size_t i = 0; i + 1 < runs->size(); ++i) {
        const quality::RunCounts &latest = runs->at(i), &before = runs->at(i + 1);
        if (latest.serial != before.serial)
            continue;
        ++i;
        if (latest.start < since)
            continue;
        for (int axis = 0; axis < runs::kAxisCount; ++axis) {
            const auto at = std::size_t(axis);
            if (!runin::passes(latest.axisErrors.at(at)) &&
                !runin::passes(before.axisErrors.at(at)))
                items.push_back(item(QStringLiteral("failed twice\n%1\n%2\n%3")
                                         .arg(latest.serial, runs::axisName(axis), latest.run),
                                     QStringLiteral("Lens %1: its latest 2 runs failed on %2")
                                         .arg(latest.serial, runs::axisName(axis)),
                                     lensAddress(latest.serial), latest.start));
        }
    }
    return {};
}

} // namespace

base::Result<PlantNow> plantNow(runs::RunDatabase &records, const Request &request)
{
    PlantNow now;
    auto last = runs::RunStore(records).lastRunPerStation();
    if (!last)
        return last.failure();
    now.last = std::move(*last);
    auto live = runs::ProgressStore(records).latest();
    if (!live)
        return live.failure();
    now.live = std::move(*live);
    auto clock = runs::ProgressStore(records).now();
    if (!clock)
        return clock.failure();
    now.clock = *clock;
    const QDate today = QDate::currentDate();
    now.since = today.addDays(1 - today.dayOfWeek() - 7 * kLookBackWeeks).startOfDay();
    runs::RunFilter recent;
    recent.since = now.since;
    auto figures = qualityOf(records, request, recent);
    if (!figures)
        return figures.failure();
    now.figures = std::move(*figures);
    return now;
}

base::Result<std::vector<AttentionItem>> needsAttention(runs::RunDatabase &records,
                                                        const Request &request, const PlantNow &now)
{
    std::vector<AttentionItem> items;
    for (const runs::RunProgress &live : now.live)
        if (!live.ended && live.updated.secsTo(now.clock) > kSilentAfterSeconds)
            items.push_back(item(QStringLiteral("silent\n%1\n%2").arg(live.station, live.runId),
                                 QStringLiteral("%1: silent since %2, in the middle of a run")
                                     .arg(live.station, localTime(live.updated)),
                                 stationAddress(live.station), live.updated));
    QStringList stations;
    for (const runs::RunRecord &last : now.last)
        stations << last.station;
    auto latest = quality::latestRunsOf(records, stations, quality::kChartRuns);
    if (!latest)
        return latest.failure();
    for (const auto &[station, runs] : *latest) {
        failedInARow(station, runs, items);
        flaggedLately(station, runs, items);
    }
    if (auto lenses = failedTwice(records, now.since, items); !lenses)
        return lenses.failure();
    for (const quality::Cell &cell : now.figures.cells) {
        const auto yield = cell.firstPassYield();
        if (cell.station.isEmpty() || !cell.week.contains(QStringLiteral("-W")) ||
            cell.newLenses < kYieldLenses || !yield || *yield >= request.yieldTarget)
            continue;
        // The Monday of ISO week ww of the year: the week holding 4 January is week 1.
        const QDate fourth(cell.week.left(4).toInt(), 1, 4);
        const QDate first =
            fourth.addDays(1 - fourth.dayOfWeek() + 7 * (cell.week.mid(6).toInt() - 1));
        items.push_back(
            item(QStringLiteral("yield\n%1\n%2").arg(cell.station, cell.week),
                 QStringLiteral("%1, %2: first-pass yield %3 of %4 lenses, under the "
                                "target %5")
                     .arg(cell.station, cell.week, percent(yield), QString::number(cell.newLenses),
                          percent(request.yieldTarget)),
                 QStringLiteral("/quality?station=%1&since=%2&until=%3")
                     .arg(urlPart(cell.station), first.toString(Qt::ISODate),
                          first.addDays(6).toString(Qt::ISODate)),
                 first.startOfDay().toUTC()));
    }
    return items;
}

base::Result<Attention> attention(runs::RunDatabase &records, const Request &request)
{
    auto plant = plantNow(records, request);
    if (!plant)
        return plant.failure();
    auto items = needsAttention(records, request, *plant);
    if (!items)
        return items.failure();
    return Attention{std::move(*plant), std::move(*items)};
}

QString attentionList(const std::vector<AttentionItem> &items)
{
    QString html = QStringLiteral("<section id=\"attention\"><h2>What needs attention</h2>\n");
    if (items.empty())
        html += QStringLiteral("<p class=\"muted\">Nothing: no station is silent or failing, "
                               "no lens failed twice on one axis, no chart is out of control "
                               "and every week's yield is on target.</p>\n");
    else {
        html += QStringLiteral("<ul>\n");
        for (const AttentionItem &each : items)
            html += QStringLiteral("<li><a href=\"%1\">%2</a></li>\n")
                        .arg(escaped(each.link), escaped(each.title));
        html += QStringLiteral("</ul>\n");
    }
    return html + QStringLiteral("<p class=\"muted\"><a href=\"/attention.atom\">The same as "
                                 "a feed</a> for a feed or mail reader.</p></section>\n");
}

} // namespace plant
