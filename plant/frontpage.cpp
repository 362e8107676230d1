#include "attention.h"
#include "records.h"

#include "quality/export.h"

#include "runs/progress.h"
#include "runs/rundatabase.h"

#include "quality/quality.h"
#include "runs/progressstore.h"
#include "runs/runqueries.h"
#include "runs/runstore.h"

#include <QDate>

#include <map>

namespace plant {

namespace {

constexpr int kLatestRuns = 50;

struct Station
{
    std::optional<runs::RunRecord> last;
    std::optional<runs::RunProgress> live;
    const quality::Cell *week = nullptr;
};

QString liveCells(const runs::RunProgress &live, const QDateTime &now)
{
    int errors = 0;
    QStringList perAxis;
    for (int axis = 0; axis < runs::kAxisCount; ++axis) {
        const int count = live.errors.at(std::size_t(axis));
        errors += count;
        if (count > 0)
            perAxis << QStringLiteral("%1: %2").arg(runs::axisName(axis)).arg(count);
    }
    const bool silent = live.updated.secsTo(now) > kSilentAfterSeconds;
    const QString state =
        silent ? QStringLiteral("<span class=\"badge silent\">&#9888; silent since %1</span>")
                     .arg(clockTime(live.updated))
               : QStringLiteral("<span class=\"badge live\">&#9654; running</span>");
    return QStringLiteral("<td>%1</td><td>%2</td><td>%3</td><td class=\"num\">%4</td><td>%5 "
                          "error(s) so far%6</td><td class=\"muted\">snapshot %7 old</td>")
        .arg(state, serialLink(live.serial), escaped(live.tests), QString::number(live.cycles),
             QString::number(errors),
             perAxis.isEmpty() ? QString()
                               : QStringLiteral(" (%1)").arg(escaped(perAxis.join(", "))),
             age(live.updated, now));
}

QString lastRunCells(const runs::RunRecord &run)
{
    return QStringLiteral("<td>%1</td><td>%2</td><td>%3</td><td class=\"num\">%4</td><td>%5</td>"
                          "<td>%6</td>")
        .arg(QStringLiteral("<a href=\"/runs/%1\">last run</a> %2")
                 .arg(urlPart(run.id), localTime(run.start)),
             serialLink(run.serial), escaped(run.tests), QString::number(run.cycles),
             escaped(runs::endingText(run.ending)), verdictBadge(passed(run)));
}

} // namespace

Reply frontPage(runs::RunDatabase &records, const Request &request)
{
    auto found = attention(records, request);
    if (!found)
        return failed(found.failure());
    const PlantNow *plant = &found->plant;
    auto latest = runs::RunStore(records).page({}, 1, kLatestRuns);
    if (!latest)
        return failed(latest.failure());

    std::map<QString, Station> stations;
    for (const runs::RunRecord &run : plant->last)
        stations[run.station].last = run;
    for (const runs::RunProgress &progress : plant->live)
        stations[progress.station].live = progress;
    for (const quality::Cell &cell : plant->figures.cells)
        if (cell.week == runs::isoWeek(QDateTime::currentDateTime()))
            stations[cell.station].week = &cell;

    QString body =
        attentionList(found->items) +
        QStringLiteral(
            "<h2>Stations</h2><table id=\"stations\"><caption>Each station: its run under way, "
            "or its last run</caption><thead><tr><th>Station</th><th>Now</th>"
            "<th>Lens serial</th><th>Tests</th><th class=\"num\">Cycles</th><th>How it ended / "
            "errors</th><th>Verdict</th><th class=\"num\">Runs this week</th><th "
            "class=\"num\">First-pass yield this week</th></tr></thead><tbody>\n");
    if (stations.empty())
        body += QStringLiteral("<tr><td colspan=\"9\" class=\"muted\">No station has stored a "
                               "run yet.</td></tr>\n");
    for (const auto &[name, station] : stations) {
        body += QStringLiteral("<tr><td>%1</td>").arg(stationLink(name));
        if (station.live && !station.live->ended)
            body += liveCells(*station.live, plant->clock);
        else if (station.last)
            body += lastRunCells(*station.last);
        else
            body += QStringLiteral("<td colspan=\"6\" class=\"muted\">no run stored</td>");
        body += QStringLiteral("<td class=\"num\">%1</td><td class=\"num\">%2</td></tr>\n")
                    .arg(QString::number(station.week ? station.week->runs : 0),
                         percent(station.week ? station.week->firstPassYield() : std::nullopt));
    }
    body += QStringLiteral("</tbody></table>\n<h2>Latest runs</h2>\n") +
            runsTable(latest->runs, true,
                      QStringLiteral("The latest runs of every station, newest first"));
    body += QStringLiteral("<p><a href=\"/runs\">All runs</a> &middot; %1 in the records &middot; "
                           "<a href=\"/lenses?decision=1\">Lenses waiting for a decision</a></p>\n")
                .arg(latest->total);
    Reply reply;
    reply.body = page(QStringLiteral("The plant now"), Section::Now, body, &request,
                      QStringLiteral("<link rel=\"alternate\" type=\"application/atom+xml\" "
                                     "title=\"What needs attention\" href=\"/attention.atom\">\n"));
    return reply;
}

Reply attentionFeed(runs::RunDatabase &records, const Request &request)
{
    auto found = attention(records, request);
    if (!found)
        return failed(found.failure());
    const PlantNow *plant = &found->plant;
    // The feed changes when an item comes or goes: its newest item's time, else the newest run's.
    QDateTime updated = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    for (const runs::RunRecord &run : plant->last)
        if (run.start.isValid())
            updated = std::max(updated, run.start);
    QString entries;
    for (const AttentionItem &item : found->items) {
        const QDateTime when = item.updated.isValid() ? item.updated : updated;
        updated = std::max(updated, when);
        entries +=
            QStringLiteral("<entry><id>%1</id><title>%2</title><updated>%3</updated><link "
                           "rel=\"alternate\" type=\"text/html\" href=\"%4\"/></entry>\n")
                .arg(item.id, escaped(item.title), quality::isoTime(when), escaped(item.link));
    }
    Reply reply;
    reply.contentType = "application/atom+xml";
    reply.body = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed "
                                "xmlns=\"http://www.w3.org/2005/Atom\">\n<id>urn:uuid:"
                                "3c7e9a41-8d2b-5f06-b1e4-7a9c0d5e2f18</id>\n<title>Velmaro plant: "
                                "what needs attention</title>\n<updated>%1</updated>\n<author>"
                                "<name>velmaro-plant</name></author>\n<link rel=\"self\" "
                                "href=\"/attention.atom\"/>\n<link rel=\"alternate\" "
                                "type=\"text/html\" href=\"/\"/>\n%2</feed>\n")
                     .arg(quality::isoTime(updated), entries)
                     .toUtf8();
    return reply;
}

} // namespace plant
