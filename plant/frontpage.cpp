#include "pages.h"
#include "records.h"

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

// A run not ended whose station has sent nothing for longer than this has gone silent.
constexpr qint64 kSilentAfterSeconds = 3 * 60;
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
    auto last = runs::RunStore(records).lastRunPerStation();
    if (!last)
        return failed(last.failure());
    auto live = runs::ProgressStore(records).latest();
    if (!live)
        return failed(live.failure());
    // Silence is measured by the clock that stamped the snapshots, not by this server's.
    auto databaseNow = runs::ProgressStore(records).now();
    if (!databaseNow)
        return failed(databaseNow.failure());
    const QDate today = QDate::currentDate();
    runs::RunFilter thisWeek;
    thisWeek.since = today.addDays(1 - today.dayOfWeek()).startOfDay();
    auto figures = qualityOf(records, request, thisWeek);
    if (!figures)
        return failed(figures.failure());
    auto latest = runs::RunStore(records).page({}, 1, kLatestRuns);
    if (!latest)
        return failed(latest.failure());

    std::map<QString, Station> stations;
    for (runs::RunRecord &run : *last)
        stations[run.station].last = std::move(run);
    for (runs::RunProgress &progress : *live)
        stations[progress.station].live = std::move(progress);
    for (const quality::Cell &cell : figures->cells)
        if (cell.week == runs::isoWeek(QDateTime::currentDateTime()))
            stations[cell.station].week = &cell;

    QString body = QStringLiteral(
        "<h2>Stations</h2><table id=\"stations\"><caption>Each station: its run under way, or "
        "its last run</caption><thead><tr><th>Station</th><th>Now</th>"
        "<th>Lens serial</th><th>Tests</th><th class=\"num\">Cycles</th><th>How it ended / "
        "errors</th><th>Verdict</th><th class=\"num\">Runs this week</th><th "
        "class=\"num\">First-pass yield this week</th></tr></thead><tbody>\n");
    if (stations.empty())
        body += QStringLiteral("<tr><td colspan=\"9\" class=\"muted\">No station has stored a "
                               "run yet.</td></tr>\n");
    for (const auto &[name, station] : stations) {
        body += QStringLiteral("<tr><td><a href=\"/runs?station=%1\">%2</a></td>")
                    .arg(urlPart(name), escaped(name));
        if (station.live && !station.live->ended)
            body += liveCells(*station.live, *databaseNow);
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
    body += QStringLiteral("<p><a href=\"/runs\">All runs</a> &middot; %1 in the records</p>\n")
                .arg(latest->total);
    Reply reply;
    reply.body = page(QStringLiteral("The plant now"), Section::Now, body, &request);
    return reply;
}

} // namespace plant
