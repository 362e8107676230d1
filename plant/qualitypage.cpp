#include "pages.h"

#include "quality/export.h"
#include "quality/quality.h"

namespace plant {

namespace {

QString cellRow(const quality::Cell &cell, const QString &week, const QString &station)
{
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td "
                          "class=\"num\">%4</td><td class=\"num\">%5</td><td "
                          "class=\"num\">%6</td><td class=\"num\">%7</td><td "
                          "class=\"num\">%8</td></tr>\n")
        .arg(week, station, QString::number(cell.runs), QString::number(cell.lenses),
             QString::number(cell.newLenses), percent(cell.firstPassYield()),
             percent(cell.finalYield()), QString::number(cell.withoutSerial));
}

QString bar(double share)
{
    return QStringLiteral("<span class=\"bar\" style=\"width:%1px\"></span>")
        .arg(static_cast<int>(share * 2.0));
}

} // namespace

Reply qualityPage(runs::RunDatabase &records, const Request &request)
{
    auto filter = filterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    const runs::RunFilter &chosen = std::get<runs::RunFilter>(filter);
    auto figures = qualityOf(records, request, chosen);
    if (!figures)
        return failed(figures.failure());

    const QString query = escaped(filterQuery(chosen));
    QString body = filterForm(chosen, QStringLiteral("/quality"));
    body += QStringLiteral("<p class=\"downloads\"><a href=\"/quality.csv%1\">Download CSV</a><a "
                           "href=\"/api/quality%1\">JSON</a></p>\n")
                .arg(query);
    body += QStringLiteral(
        "<h2>Per week and station</h2><p class=\"muted\">First-pass yield: lenses whose first "
        "run had no error above the threshold; final yield: lenses whose latest run had none; "
        "both of the lenses first run in that week at that station. Runs without a serial are "
        "in no yield.</p><table id=\"quality\"><caption>Runs, lenses and yields per "
        "ISO week and station, all of them at the "
        "foot</caption><thead><tr><th>Week</th><th>Station</th><th "
        "class=\"num\">Runs</th><th class=\"num\">Lenses</th><th class=\"num\">New "
        "lenses</th><th class=\"num\">First-pass yield</th><th class=\"num\">Final "
        "yield</th><th class=\"num\">Runs without serial</th></tr></thead><tbody>\n");
    for (const quality::Cell &cell : figures->cells)
        body += cellRow(cell, cell.week, escaped(cell.station));
    body += QStringLiteral("</tbody><tfoot>") +
            cellRow(figures->total, QStringLiteral("<b>All</b>"), QString()) +
            QStringLiteral("</tfoot></table>\n");

    body += QStringLiteral("<h2>Failures by axis and test</h2>");
    if (figures->byAxisAndTest.empty())
        body += QStringLiteral("<p class=\"muted\">No run failed.</p>\n");
    else {
        body += QStringLiteral("<table><caption>Failed runs per axis and test, most first"
                               "</caption><thead><tr><th>Axis</th><th>Tests</th><th "
                               "class=\"num\">Failed runs</th><th class=\"num\">Errors</th><th "
                               "class=\"num\">Share</th><th class=\"num\">Cumulative</th><th></th>"
                               "</tr></thead><tbody>\n");
        for (const quality::AxisTestFailures &each : figures->byAxisAndTest)
            body += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td "
                                   "class=\"num\">%4</td><td class=\"num\">%5</td><td "
                                   "class=\"num\">%6</td><td>%7</td></tr>\n")
                        .arg(escaped(each.axis), escaped(each.tests),
                             QString::number(each.failedRuns), QString::number(each.errors),
                             percent(each.share), percent(each.cumulative), bar(each.share));
        body += QStringLiteral("</tbody></table>\n");
    }
    body += QStringLiteral("<h2>Runs by how they ended</h2><table><caption>Runs "
                           "per ending, most failed first</caption><thead><tr><th>How it "
                           "ended</th><th class=\"num\">Runs</th><th class=\"num\">Failed</th>"
                           "<th class=\"num\">Share of failures</th><th "
                           "class=\"num\">Cumulative</th><th></th></tr></thead><tbody>\n");
    for (const quality::EndingFailures &each : figures->byEnding)
        body +=
            QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td><td class=\"num\">%3</td>"
                           "<td class=\"num\">%4</td><td class=\"num\">%5</td><td>%6</td>"
                           "</tr>\n")
                .arg(escaped(each.ending), QString::number(each.runs), QString::number(each.failed),
                     percent(each.share), percent(each.cumulative), bar(each.share));
    body += QStringLiteral("</tbody></table>\n");
    Reply reply;
    reply.body = page(QStringLiteral("Quality"), Section::Quality, body);
    return reply;
}

Reply qualityExport(runs::RunDatabase &records, const Request &request, bool json)
{
    auto filter = filterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    auto figures = qualityOf(records, request, std::get<runs::RunFilter>(filter));
    if (!figures)
        return failed(figures.failure());
    Reply reply;
    if (json) {
        reply.body = quality::qualityJson(*figures).toJson();
        reply.contentType = "application/json";
    } else {
        reply.body = quality::qualityCsv(*figures);
        reply.contentType = "text/csv; charset=utf-8";
        reply.download = QStringLiteral("quality.csv");
    }
    return reply;
}

} // namespace plant
