#include "pages.h"
#include "records.h"

#include "runin/verdict.h"

#include "runs/camrecord.h"
#include "runs/camstore.h"
#include "runs/recordtable.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"

namespace plant {

namespace {

QString result(const char *which, const runs::RunRecord &run)
{
    return QStringLiteral("<dt>%1</dt><dd>%2 %3, %4 at %5 (%6)</dd>")
        .arg(QLatin1String(which), verdictBadge(passed(run)),
             escaped(runin::verdictText(run.errorCount())), localTime(run.start),
             stationLink(run.station), runLink(run.id, run.id.left(8)));
}

QString camTables(const std::vector<runs::CamRecord> &kept)
{
    if (kept.empty())
        return QStringLiteral("<p class=\"muted\">No cam table of this lens is kept.</p>\n");
    QString html =
        QStringLiteral("<table id=\"cam-tables\"><caption>The "
                       "lens's cam tables kept</caption><thead><tr><th>Table</th><th>Saved</th>"
                       "<th>Station</th><th>Operator</th><th class=\"num\">Rows "
                       "recorded</th><th>File</th></tr></thead><tbody>\n");
    for (const runs::CamRecord &record : kept)
        html += QStringLiteral("<tr><td class=\"mono\">%1</td><td>%2</td><td>%3</td><td>%4</td>"
                               "<td class=\"num\">%5 of 86</td><td><a href=\"/cams/%6\" "
                               "download>Camma.txt</a></td></tr>\n")
                    .arg(escaped(record.id.left(8)), localTime(record.saved),
                         escaped(record.station), escaped(record.operatorName),
                         QString::number(record.rowsRecorded), urlPart(record.id));
    return html + QStringLiteral("</tbody></table>\n");
}

// The runs side by side: per axis, the errors above the threshold and the largest error.
QString axesTable(const std::vector<runs::RunRecord> &list)
{
    QString html = QStringLiteral("<div class=\"wide\"><table id=\"lens-axes\"><caption>Errors "
                                  "per axis, run by run</caption><thead><tr><th rowspan=\"2\">Run"
                                  "</th><th rowspan=\"2\">Started</th><th rowspan=\"2\">Station"
                                  "</th><th rowspan=\"2\">Verdict</th>");
    for (int axis = 0; axis < runs::kAxisCount; ++axis)
        html += QStringLiteral("<th class=\"num\" colspan=\"2\">%1</th>")
                    .arg(escaped(runs::axisName(axis)));
    html += QStringLiteral("</tr><tr>");
    for (int axis = 0; axis < runs::kAxisCount; ++axis)
        html += QStringLiteral("<th class=\"num\">errors %1</th><th class=\"num\">largest</th>")
                    .arg(runin::aboveThresholdText());
    html += QStringLiteral("</tr></thead><tbody>\n");
    for (const runs::RunRecord &run : list) {
        html += QStringLiteral("<tr><td>%1</td><td class=\"when\">%2</td><td>%3</td><td>%4</td>")
                    .arg(runLink(run.id, run.id.left(8)), localTime(run.start),
                         stationLink(run.station), verdictBadge(passed(run)));
        for (const runs::AxisFigures &axis : run.axes)
            html += QStringLiteral("<td class=\"num\">%1</td><td class=\"num\">%2</td>")
                        .arg(axis.errors)
                        .arg(axis.largest ? QString::number(*axis.largest) : QStringLiteral("-"));
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</tbody></table></div>\n");
}

} // namespace

Reply camFile(runs::RunDatabase &records, const QString &id)
{
    auto whole = wholeId(records, runs::kCamTable, id);
    if (auto *reply = std::get_if<Reply>(&whole))
        return *reply;
    auto found = runs::CamStore(records).find(std::get<QString>(whole));
    if (!found) // a damaged record is never handed out
        return failed(found.failure());
    Reply reply;
    reply.body = found->bytes;
    reply.contentType = "text/plain";
    reply.download = QStringLiteral("Camma.txt");
    return reply;
}

Reply lensPage(runs::RunDatabase &records, const Request &, const QString &serial)
{
    runs::RunFilter filter;
    filter.serial = serial;
    auto found = runs::RunStore(records).list(filter);
    if (!found)
        return failed(found.failure());
    QString body;
    if (found->empty()) {
        body = QStringLiteral("<p class=\"muted\">No run of the lens %1 is stored.</p>")
                   .arg(escaped(serial));
    } else {
        body = QStringLiteral("<dl class=\"fields\" id=\"lens-results\">") +
               result("First run", found->front()) + result("Latest run", found->back()) +
               QStringLiteral("<dt>Runs</dt><dd>%1</dd></dl>\n").arg(found->size());
        body += QStringLiteral("<h2>Every run, oldest first</h2>\n") + runsTable(*found) +
                axesTable(*found);
    }
    runs::CamFilter cams;
    cams.serial = serial;
    auto kept = runs::CamStore(records).list(cams);
    if (!kept)
        return failed(kept.failure());
    body += QStringLiteral("<h2>Cam tables, newest first</h2>\n") + camTables(*kept);
    Reply reply;
    reply.body = page(QStringLiteral("Lens %1").arg(serial), Section::None, body);
    return reply;
}

} // namespace plant
