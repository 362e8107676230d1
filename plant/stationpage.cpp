#include "pages.h"

#include "quality/ucharts.h"
#include "runs/runrecord.h"
#include "runs/schema.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace plant {

namespace {

using quality::RunCounts;
using quality::UChart;

// The station's latest runs, oldest first, as many as asked for (runs=N), or the answer that
// says why there are none: N does not read (400), or the station has no run (404).
std::variant<std::pair<int, std::vector<RunCounts>>, Reply>
latestOf(runs::RunDatabase &records, const Request &request, const QString &station)
{
    int wanted = quality::kChartRuns;
    if (request.params.contains(QStringLiteral("runs"))) {
        bool number = false;
        wanted = request.value("runs").toInt(&number);
        if (!number || wanted < 1 || wanted > quality::kMostChartRuns)
            return problem(400, QStringLiteral("runs: '%1' is not a number of runs from 1 to %2")
                                    .arg(request.value("runs").left(80),
                                         QString::number(quality::kMostChartRuns)));
    }
    auto latest = quality::latestRunsOf(records, station, wanted);
    if (!latest)
        return failed(latest.failure());
    if (latest->empty())
        return failed(base::FailureKind::NotFound,
                      QStringLiteral("No run of the station %1 is stored.").arg(station));
    return std::pair{wanted, std::move(*latest)};
}

QString rate(double value)
{
    return QString::number(value, 'g', 4);
}

// What the chart shows, in words: its text alternative.
QString summary(const QString &axis, const UChart &chart)
{
    if (chart.points.empty())
        return QStringLiteral("%1: no run moved this axis.").arg(axis);
    int above = 0;
    for (const quality::UPoint &point : chart.points)
        above += point.rate > chart.centre ? 1 : 0;
    return QStringLiteral("%1: %2 runs, centre line %3 errors per move, %4 runs above it, %5 "
                          "flagged.")
        .arg(axis)
        .arg(chart.points.size())
        .arg(rate(chart.centre))
        .arg(above)
        .arg(chart.flagged.size());
}

QString flaggedList(const UChart &chart)
{
    if (chart.flagged.empty())
        return QStringLiteral("<p class=\"muted\">No point flagged.</p>\n");
    QString html = QStringLiteral("<ul class=\"flagged\">\n");
    for (const quality::UFlag &flag : chart.flagged) {
        const auto point = std::find_if(chart.points.begin(), chart.points.end(),
                                        [&flag](const auto &p) { return p.run == flag.run; });
        html +=
            QStringLiteral("<li>%1 started %2: %3</li>\n")
                .arg(runLink(flag.run, flag.run.left(8)), localTime(point->start),
                     flag.rule == 1
                         ? QStringLiteral("%1 errors per move, above its upper limit %2 (rule 1)")
                               .arg(rate(point->rate), rate(point->ucl))
                         : QStringLiteral("the 8th or a later point in a row above the centre "
                                          "line (rule 2)"));
    }
    return html + QStringLiteral("</ul>\n");
}

QString pointTable(const QString &axis, const UChart &chart)
{
    QString html = QStringLiteral("<details><summary>The points as a table</summary><div "
                                  "class=\"wide\"><table><caption>%1: each run's errors per move "
                                  "and its limits, oldest first</caption><thead><tr><th>Run</th>"
                                  "<th>Started</th><th class=\"num\">Moves</th><th "
                                  "class=\"num\">Errors</th><th class=\"num\">Per move</th><th "
                                  "class=\"num\">Lower limit</th><th class=\"num\">Upper "
                                  "limit</th></tr></thead><tbody>\n")
                       .arg(axis);
    for (const quality::UPoint &point : chart.points)
        html += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td "
                               "class=\"num\">%4</td><td class=\"num\">%5</td><td "
                               "class=\"num\">%6</td><td class=\"num\">%7</td></tr>\n")
                    .arg(runLink(point.run, point.run.left(8)), localTime(point.start))
                    .arg(point.moves)
                    .arg(point.errors)
                    .arg(rate(point.rate), rate(point.lcl), rate(point.ucl));
    return html + QStringLiteral("</tbody></table></div></details>\n");
}

// The address of the station's JSON of one axis, the name in the query where a browser would
// drop it from the path.
QString jsonAddress(const QString &station, int axis, int count)
{
    const QString query = QStringLiteral("axis=%1&runs=%2")
                              .arg(QLatin1String(runs::schema::kAxisColumns.at(std::size_t(axis))))
                              .arg(count);
    return stationAddress(station).contains(u'?')
               ? QStringLiteral("/api/stations/errors?station=%1&%2").arg(urlPart(station), query)
               : QStringLiteral("/api/stations/%1/errors?%2").arg(urlPart(station), query);
}

} // namespace

Reply stationErrors(runs::RunDatabase &records, const Request &request, const QString &station)
{
    const QString axisKey = request.value("axis");
    const int axis = quality::axisOfKey(axisKey);
    if (axis < 0)
        return problem(400, QStringLiteral("axis: '%1' is not one of zoom1, zoom2, iris, focus")
                                .arg(axisKey.left(80)));
    auto found = latestOf(records, request, station);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    const auto &latest = std::get<0>(found).second;
    return jsonReply(
        QJsonDocument(quality::uChartJson(station, axisKey, quality::uChart(latest, axis)))
            .toJson());
}

Reply stationPage(runs::RunDatabase &records, const Request &request, const QString &station)
{
    auto found = latestOf(records, request, station);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    const auto &[wanted, latest] = std::get<0>(found);

    // Drawn once for these runs and figures: a new run draws them anew.
    std::vector<std::pair<QString, UChart>> charts;
    QCryptographicHash digest(QCryptographicHash::Sha1);
    for (const RunCounts &run : latest) {
        digest.addData(run.run.toUtf8());
        for (std::size_t axis = 0; axis < run.moves.size(); ++axis)
            digest.addData(QByteArray::number(run.moves.at(axis)) + ',' +
                           QByteArray::number(run.axisErrors.at(axis)) + ';');
    }
    for (int axis = 0; axis < runs::kAxisCount; ++axis)
        charts.emplace_back(
            QStringLiteral("%1: errors per move, run by run").arg(runs::axisName(axis)),
            quality::uChart(latest, axis));
    const QString key = QStringLiteral("u-charts of the station %1 (%2 runs, %3)")
                            .arg(station, QString::number(latest.size()),
                                 QString::fromLatin1(digest.result().toHex()));
    auto drawn = drawingOf(request, key, QStringLiteral("charts of the station"),
                           [&charts]() -> base::Result<Drawing> {
                               return Drawing{{drawErrorRateCharts(charts), {}}, {}};
                           });
    if (auto *reply = std::get_if<Reply>(&drawn))
        return *reply;
    const Drawings::Drawn &drawing = std::get<Drawings::Drawn>(drawn);

    QString body =
        QStringLiteral("<p>The errors above the threshold per move of each axis over the latest "
                       "%1 runs of this station, oldest first, as u-charts: the centre line is "
                       "all their errors over all their moves (ū); a run with n moves of the axis "
                       "has the limits ū ± 3·√(ū/n), the lower at least 0. A point is flagged "
                       "above its upper limit (rule 1) and as the 8th or a later point in a row "
                       "above the centre line (rule 2). Runs that did not move an axis are not in "
                       "its chart.</p>\n<p><a href=\"/runs?station=%2\">Every run of this "
                       "station</a></p>\n<form class=\"filters\" method=\"get\" action=\"%3\">")
            .arg(latest.size())
            .arg(urlPart(station), stationAddress(station).section(u'?', 0, 0));
    if (stationAddress(station).contains(u'?'))
        body += QStringLiteral("<input type=\"hidden\" name=\"station\" value=\"%1\">")
                    .arg(escaped(station));
    body += QStringLiteral("<label>Latest runs<input type=\"number\" name=\"runs\" min=\"1\" "
                           "max=\"%1\" value=\"%2\"></label><button type=\"submit\">Show</button>"
                           "</form>\n<div class=\"charts\">\n")
                .arg(quality::kMostChartRuns)
                .arg(wanted);
    for (int axis = 0; axis < runs::kAxisCount; ++axis) {
        const auto &[title, chart] = charts.at(std::size_t(axis));
        const QString name = runs::axisName(axis);
        const QString words = summary(name, chart);
        QString svg = drawing ? QString::fromUtf8(drawing->charts.charts.at(std::size_t(axis)).svg)
                              : QString();
        svg.replace(0, 4,
                    QStringLiteral("<svg role=\"img\" aria-label=\"%1\"").arg(escaped(words)));
        body += QStringLiteral("<figure class=\"chart\" id=\"%1\">%2<figcaption>%3 <a "
                               "href=\"%4\">JSON</a></figcaption>\n%5%6</figure>\n")
                    .arg(QLatin1String(runs::schema::kAxisColumns.at(std::size_t(axis))), svg,
                         escaped(words), escaped(jsonAddress(station, axis, wanted)),
                         flaggedList(chart), pointTable(name, chart));
    }
    body += QStringLiteral("</div>\n");
    Reply reply;
    reply.body = page(QStringLiteral("Station %1").arg(station), Section::None, body);
    reply.bodyNotMade = drawing == nullptr;
    return reply;
}

} // namespace plant
