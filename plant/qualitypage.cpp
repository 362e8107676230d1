#include "pages.h"

#include "quality/export.h"
#include "quality/filter.h"
#include "quality/quality.h"
#include "runs/runqueries.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

namespace plant {

namespace {

// A count as a link to the list of what it counts, filters kept; a zero, or a count no list
// holds exactly, as it is.
QString counted(int count, const QString &path, const QString &query)
{
    if (count == 0 || path.isEmpty())
        return QString::number(count);
    return QStringLiteral("<a href=\"%1%2\">%3</a>").arg(path, escaped(query)).arg(count);
}

// A count of error lines, as a link to the runs that hold them.
QString errorsIn(int count, const QString &path, const QString &query)
{
    if (count == 0 || path.isEmpty())
        return QString::number(count);
    return QStringLiteral("<a class=\"errors\" title=\"the runs that hold them\" "
                          "href=\"%1%2\">%3</a>")
        .arg(path, escaped(query))
        .arg(count);
}

QString lensesOf(int count, const runs::RunFilter &filter, bool listed,
                 const std::function<void(runs::LensFilter &)> &narrow = {})
{
    runs::LensFilter lenses{filter};
    if (narrow)
        narrow(lenses);
    return counted(count, listed ? QStringLiteral("/lenses") : QString(), lensQuery(lenses));
}

// A yield and the count of lenses it is of, linked.
QString yieldOf(std::optional<double> yield, const QString &lenses)
{
    return yield ? percent(yield) + QStringLiteral(" (%1)").arg(lenses) : percent(yield);
}

// One row of a week at a station, or of the totals (`cell` without either), its counts linked
// to the runs or lenses of `chosen` narrowed to them.
QString cellRow(const quality::Cell &cell, const runs::RunFilter &chosen, const QString &week,
                const QString &station)
{
    runs::RunFilter filter = chosen;
    if (!cell.station.isEmpty())
        filter.station = cell.station;
    if (!cell.week.isEmpty())
        filter.week = cell.week;
    // A week the records cannot place, or a station without a name, has no list of its own.
    const bool listed = (cell.week.isEmpty() || runs::weekBounds(cell.week)) &&
                        (cell.station.isEmpty() == cell.week.isEmpty());
    const QString runsPath = listed ? QStringLiteral("/runs") : QString();
    runs::RunFilter withoutSerial = filter;
    withoutSerial.withoutSerial = true;
    const bool serialListed = listed && chosen.serial.isEmpty();
    const auto asNew = [](runs::Verdict first, runs::Verdict latest) {
        return [first, latest](runs::LensFilter &lenses) {
            lenses.onlyNew = true;
            lenses.first = first;
            lenses.latest = latest;
        };
    };
    using runs::Verdict;
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td "
                          "class=\"num\">%4</td><td class=\"num\">%5</td><td "
                          "class=\"num\">%6</td><td class=\"num\">%7</td><td "
                          "class=\"num\">%8</td></tr>\n")
        .arg(week, station, counted(cell.runs, runsPath, filterQuery(filter)),
             lensesOf(cell.lenses, filter, listed),
             lensesOf(cell.newLenses, filter, listed, asNew(Verdict::Any, Verdict::Any)),
             yieldOf(cell.firstPassYield(),
                     lensesOf(cell.firstPass, filter, listed, asNew(Verdict::Pass, Verdict::Any))),
             yieldOf(cell.finalYield(),
                     lensesOf(cell.finalPass, filter, listed, asNew(Verdict::Any, Verdict::Pass))),
             counted(cell.withoutSerial, serialListed ? runsPath : QString(),
                     filterQuery(withoutSerial)));
}

// The runs behind a row of failures by axis and test: none when the filter already asks for
// another axis, or the tests are not ones a filter names.
std::optional<runs::RunFilter> failuresOf(const runs::RunFilter &chosen,
                                          const quality::AxisTestFailures &each)
{
    runs::RunFilter filter = chosen;
    for (int axis = 0; axis < runs::kAxisCount; ++axis)
        if (runs::axisName(axis) == each.axis)
            filter.axis = axis;
    if (filter.axis < 0 || (chosen.axis >= 0 && chosen.axis != filter.axis) ||
        quality::testsKey(each.tests).isEmpty())
        return std::nullopt;
    filter.tests = each.tests;
    return filter;
}

// The latest weeks the trend shows: a year.
constexpr int kTrendWeeks = 53;

// First-pass yield per week: the plant's line, then one per station, over the latest weeks.
YieldTrend trendOf(const quality::Quality &figures)
{
    const std::vector<quality::Cell> plant = quality::weeklyYield(figures);
    YieldTrend trend;
    const std::size_t first = plant.size() > kTrendWeeks ? plant.size() - kTrendWeeks : 0;
    std::map<QString, int> weekIndex;
    for (std::size_t each = first; each < plant.size(); ++each) {
        weekIndex[plant.at(each).week] = static_cast<int>(trend.weeks.size());
        trend.weeks << plant.at(each).week;
    }
    const auto weeks = static_cast<std::size_t>(trend.weeks.size());
    const auto emptyLine = [weeks](const QString &name) {
        return YieldTrend::Line{name, std::vector<std::optional<double>>(weeks),
                                std::vector<int>(weeks)};
    };
    trend.lines.push_back(emptyLine(QStringLiteral("Plant")));
    std::map<QString, YieldTrend::Line> stations;
    const auto put = [&weekIndex](YieldTrend::Line &line, const quality::Cell &cell) {
        const auto found = weekIndex.find(cell.week);
        if (found == weekIndex.end())
            return;
        line.yield.at(std::size_t(found->second)) = cell.firstPassYield();
        line.lenses.at(std::size_t(found->second)) = cell.newLenses;
    };
    for (const quality::Cell &week : plant)
        put(trend.lines.front(), week);
    for (const quality::Cell &cell : figures.cells) {
        auto [line, added] = stations.try_emplace(cell.station, emptyLine(cell.station));
        put(line->second, cell);
    }
    for (auto &[name, line] : stations)
        if (std::any_of(line.yield.begin(), line.yield.end(), [](auto y) { return y.has_value(); }))
            trend.lines.push_back(std::move(line));
    return trend;
}

// The trend as a chart with its text alternative, and its points as a table for a reader who
// hears the page. The chart is drawn once per figures and kept; one that cannot be drawn now
// leaves its table.
QString trendBlock(const Request &request, const quality::Quality &figures, bool &notDrawn)
{
    const YieldTrend trend = trendOf(figures);
    QString html = QStringLiteral("<h2>First-pass yield per week</h2>\n");
    const auto &plant = trend.lines.front().yield;
    if (std::none_of(plant.begin(), plant.end(), [](auto y) { return y.has_value(); }))
        return html + QStringLiteral("<p class=\"muted\">No lens had its first run in these "
                                     "weeks.</p>\n");

    static Drawings unshared(0); // for a request without the server's: drawn, never kept
    Drawings &drawings = request.drawings != nullptr ? *request.drawings : unshared;
    const QString key =
        QStringLiteral("yield trend (figures %1)").arg(QString::fromLatin1(trend.digest()));
    Drawings::Drawn drawn = drawings.kept(key);
    if (drawn == nullptr && !request.head) {
        auto made = drawings.drawn(
            key,
            [&trend]() -> base::Result<Drawing> {
                return Drawing{{{drawYieldTrend(trend)}, {}}, {}};
            },
            request.deadline);
        if (made)
            drawn = *made;
    }
    notDrawn = drawn == nullptr;

    std::optional<double> lowest, highest;
    for (const auto &value : plant)
        if (value) {
            lowest = std::min(lowest.value_or(*value), *value);
            highest = std::max(highest.value_or(*value), *value);
        }
    const QString alternative =
        QStringLiteral("Line chart of the first-pass yield per ISO week from %1 to %2, the plant "
                       "and %3 station(s): the plant's between %4 and %5, %6 in %2. The table "
                       "that follows gives each point.")
            .arg(trend.weeks.first(), trend.weeks.last())
            .arg(trend.lines.size() - 1)
            .arg(percent(lowest), percent(highest), percent(plant.back()));
    if (drawn != nullptr && !drawn->charts.charts.empty())
        html +=
            QStringLiteral(
                "<figure class=\"trend\" id=\"trend\">%1<figcaption>Each point is the share of the "
                "lenses first run that week (at that station) whose first run "
                "passed; hover over a point for the number of lenses.%2"
                "</figcaption></figure>\n")
                .arg(QString::fromUtf8(drawn->charts.charts.front().svg)
                         .replace(QLatin1String("<svg"),
                                  QStringLiteral("<svg role=\"img\" aria-label=\"%1\"")
                                      .arg(escaped(alternative))),
                     trend.weeks.size() < kTrendWeeks
                         ? QString()
                         : QStringLiteral(" The latest %1 weeks; choose dates for earlier "
                                          "ones.")
                               .arg(kTrendWeeks));
    else
        html += QStringLiteral("<p class=\"muted\">The chart could not be drawn now: the "
                               "server is busy. The table below has its figures.</p>\n");

    html += QStringLiteral("<div class=\"sr\"><table id=\"trend-points\"><caption>First-pass "
                           "yield per week and the new lenses under it</caption><thead><tr><th>"
                           "Week</th>");
    for (const YieldTrend::Line &line : trend.lines)
        html += QStringLiteral("<th>%1</th>").arg(escaped(line.name));
    html += QStringLiteral("</tr></thead><tbody>\n");
    for (qsizetype week = 0; week < trend.weeks.size(); ++week) {
        html += QStringLiteral("<tr><th>%1</th>").arg(trend.weeks.at(week));
        for (const YieldTrend::Line &line : trend.lines) {
            const auto &value = line.yield.at(std::size_t(week));
            html += value ? QStringLiteral("<td>%1 of %2 lenses</td>")
                                .arg(percent(value))
                                .arg(line.lenses.at(std::size_t(week)))
                          : QStringLiteral("<td>none</td>");
        }
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</tbody></table></div>\n");
}

QString bar(double share)
{
    return QStringLiteral("<span class=\"bar\" style=\"width:%1px\"></span>")
        .arg(static_cast<int>(share * 2.0));
}

} // namespace

// The tables of the figures, their counts linked to what they count.
QString tablesOf(const quality::Quality &figures, const runs::RunFilter &chosen)
{
    QString body = QStringLiteral(
        "<h2>Per week and station</h2><p class=\"muted\">First-pass yield: lenses whose first "
        "run had no error above the threshold; final yield: lenses whose latest run had none; "
        "both of the lenses first run in that week at that station, with their count. Runs "
        "without a serial are in no yield. Each count leads to what it counts.</p><table "
        "id=\"quality\"><caption>Runs, lenses and yields per ISO week and station, all of them "
        "at the foot</caption><thead><tr><th>Week</th><th>Station</th><th "
        "class=\"num\">Runs</th><th class=\"num\">Lenses</th><th class=\"num\">New "
        "lenses</th><th class=\"num\">First-pass yield</th><th class=\"num\">Final "
        "yield</th><th class=\"num\">Runs without serial</th></tr></thead><tbody>\n");
    for (const quality::Cell &cell : figures.cells)
        body += cellRow(cell, chosen, cell.week, stationLink(cell.station));
    body += QStringLiteral("</tbody><tfoot>") +
            cellRow(figures.total, chosen, QStringLiteral("<b>All</b>"), QString()) +
            QStringLiteral("</tfoot></table>\n");

    body += QStringLiteral("<h2>Failures by axis and test</h2>");
    if (figures.byAxisAndTest.empty())
        body += QStringLiteral("<p class=\"muted\">No run failed.</p>\n");
    else {
        body += QStringLiteral("<table><caption>Failed runs per axis and test, most first"
                               "</caption><thead><tr><th>Axis</th><th>Tests</th><th "
                               "class=\"num\">Failed runs</th><th class=\"num\">Errors</th><th "
                               "class=\"num\">Share</th><th class=\"num\">Cumulative</th><th></th>"
                               "</tr></thead><tbody>\n");
        for (const quality::AxisTestFailures &each : figures.byAxisAndTest) {
            const auto failures = failuresOf(chosen, each);
            const QString path = failures ? QStringLiteral("/runs") : QString();
            const QString kept = failures ? filterQuery(*failures) : QString();
            body +=
                QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"num\">%3</td><td "
                               "class=\"num\">%4</td><td class=\"num\">%5</td><td "
                               "class=\"num\">%6</td><td>%7</td></tr>\n")
                    .arg(escaped(each.axis), escaped(each.tests),
                         counted(each.failedRuns, path, kept), errorsIn(each.errors, path, kept),
                         percent(each.share), percent(each.cumulative), bar(each.share));
        }
        body += QStringLiteral("</tbody></table>\n");
    }
    body += QStringLiteral("<h2>Runs by how they ended</h2><table><caption>Runs "
                           "per ending, most failed first</caption><thead><tr><th>How it "
                           "ended</th><th class=\"num\">Runs</th><th class=\"num\">Failed</th>"
                           "<th class=\"num\">Share of failures</th><th "
                           "class=\"num\">Cumulative</th><th></th></tr></thead><tbody>\n");
    for (const quality::EndingFailures &each : figures.byEnding) {
        runs::RunFilter ended = chosen;
        ended.ending = each.ending;
        const QString path =
            runs::endingFromText(each.ending) ? QStringLiteral("/runs") : QString();
        runs::RunFilter failed = ended;
        failed.verdict = runs::Verdict::Fail;
        body += QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td><td class=\"num\">%3</td>"
                               "<td class=\"num\">%4</td><td class=\"num\">%5</td><td>%6</td>"
                               "</tr>\n")
                    .arg(escaped(each.ending), counted(each.runs, path, filterQuery(ended)),
                         counted(each.failed, path, filterQuery(failed)), percent(each.share),
                         percent(each.cumulative), bar(each.share));
    }
    body += QStringLiteral("</tbody></table>\n");
    return body;
}

// The tables made lately, by filter and the records' change mark: a year of a plant's weeks and
// stations is a thousand rows of links, the same for every reader until a run arrives.
class KeptTables
{
public:
    std::optional<QString> find(const QString &key)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_kept.find(key);
        return found == m_kept.end() ? std::nullopt : std::optional(found->second);
    }
    void keep(const QString &key, const QString &html)
    {
        const std::lock_guard lock(m_mutex);
        if (m_kept.size() >= kMost)
            m_kept.clear();
        m_kept[key] = html;
    }

private:
    static constexpr std::size_t kMost = 16;
    std::mutex m_mutex;
    std::map<QString, QString> m_kept;
};

Reply qualityPage(runs::RunDatabase &records, const Request &request)
{
    auto filter = filterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    const runs::RunFilter &chosen = std::get<runs::RunFilter>(filter);
    // The change mark is read before the figures: tables kept under it are never older than it.
    auto mark = runs::RunStore(records).changeMark();
    auto figures = qualityOf(records, request, chosen);
    if (!figures)
        return failed(figures.failure());

    const QString query = escaped(filterQuery(chosen));
    QString body = filterForm(chosen, QStringLiteral("/quality"));
    body += QStringLiteral("<p class=\"downloads\"><a href=\"/quality.csv%1\">Download CSV</a><a "
                           "href=\"/api/quality%1\">JSON</a></p>\n")
                .arg(query);
    bool trendNotDrawn = false;
    body += trendBlock(request, *figures, trendNotDrawn);
    static KeptTables kept;
    const QString key =
        mark ? records.name() + u'\n' + *mark + u'\n' + filterQuery(chosen) : QString();
    auto tables = key.isEmpty() ? std::nullopt : kept.find(key);
    if (!tables) {
        tables = tablesOf(*figures, chosen);
        if (!key.isEmpty())
            kept.keep(key, *tables);
    }
    body += *tables;
    Reply reply;
    reply.body = page(QStringLiteral("Quality"), Section::Quality, body);
    reply.bodyNotMade = trendNotDrawn && request.head;
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
    if (json)
        return jsonReply(quality::qualityJson(*figures).toJson());
    return csvReply(quality::qualityCsv(*figures), QStringLiteral("quality.csv"));
}

} // namespace plant
