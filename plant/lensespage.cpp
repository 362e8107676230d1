#include "pages.h"
#include "records.h"

#include "quality/export.h"
#include "quality/filter.h"
#include "runin/verdict.h"
#include "runs/lenslist.h"

#include <QJsonArray>
#include <QJsonObject>

namespace plant {

namespace {

runs::LensCache &lensCache()
{
    static runs::LensCache cache;
    return cache;
}

// The lenses of the page asked for, or of the last page when it is past that.
base::Result<runs::LensPage> pageOfLenses(runs::RunDatabase &records,
                                          const runs::LensFilter &filter, int &number)
{
    auto found = lensCache().page(records, filter, number, kPerPage);
    if (!found || !found->lenses.empty() || number == 1)
        return found;
    auto first = lensCache().page(records, filter, 1, 1);
    if (!first)
        return first;
    number = std::max(1, (first->total + kPerPage - 1) / kPerPage);
    return lensCache().page(records, filter, number, kPerPage);
}

QString lensRun(const QDateTime &start, int errors)
{
    return QStringLiteral("<td>%1</td><td>%2</td>")
        .arg(localTime(start), verdictBadge(runin::passes(errors)));
}

QString lensesTable(const std::vector<runs::LensRow> &lenses)
{
    if (lenses.empty())
        return QStringLiteral("<p class=\"muted\">No lenses.</p>\n");
    QString html = QStringLiteral(
        "<table id=\"lenses\"><caption>The lenses, each linking to its page</caption><thead><tr>"
        "<th>Lens serial</th><th class=\"num\">Runs</th><th class=\"num\">Stations</th><th>First "
        "run</th><th>Verdict</th><th>Latest run</th>"
        "<th>Verdict</th></tr></thead><tbody>\n");
    for (const runs::LensRow &lens : lenses)
        html += QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td><td class=\"num\">%3</td>")
                    .arg(serialLink(lens.serial), QString::number(lens.runs),
                         QString::number(lens.stations)) +
                lensRun(lens.firstStart, lens.firstErrors) +
                lensRun(lens.latestStart, lens.latestErrors) + QStringLiteral("</tr>\n");
    return html + QStringLiteral("</tbody></table>\n");
}

// The fields of the lens list's own filters.
QString lensFields(const runs::LensFilter &filter)
{
    QMap<QString, QString> given;
    for (const auto &[key, value] : quality::lensFilterPairs(filter))
        given[key] = value;
    const std::vector<std::pair<QString, QString>> verdicts{{"pass", "pass"}, {"fail", "fail"}};
    QString html = choice(given, "first", "First run", verdicts) +
                   choice(given, "latest", "Latest run", verdicts) +
                   QStringLiteral("<label><input type=\"checkbox\" name=\"decision\" "
                                  "value=\"1\"%1>Waiting for a decision</label>")
                       .arg(filter.decision ? QStringLiteral(" checked") : QString());
    if (filter.onlyNew)
        html += QStringLiteral("<input type=\"hidden\" name=\"new\" value=\"1\">");
    return html;
}

} // namespace

std::variant<runs::LensFilter, Reply> lensFilterOf(const Request &request)
{
    auto filter =
        quality::readLensFilter([&request](const QString &key) { return request.value(key); });
    if (!filter)
        return failed(filter.failure());
    return *filter;
}

QString lensQuery(const runs::LensFilter &filter, const QString &extra)
{
    return pairsQuery(quality::lensFilterPairs(filter), extra);
}

Reply lensesPage(runs::RunDatabase &records, const Request &request)
{
    auto filter = lensFilterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    auto number = pageOf(request);
    if (auto *reply = std::get_if<Reply>(&number))
        return *reply;
    const runs::LensFilter &chosen = std::get<runs::LensFilter>(filter);
    int pageNumber = std::get<int>(number);
    auto found = pageOfLenses(records, chosen, pageNumber);
    if (!found)
        return failed(found.failure());

    QString body = filterForm(chosen.runs, QStringLiteral("/lenses"), lensFields(chosen));
    if (chosen.decision)
        body += QStringLiteral("<p class=\"muted\">Waiting for a decision: the latest run failed, "
                               "no run passed, or the lens has been run 3 times or more.</p>\n");
    body += QStringLiteral("<p>%1 lens(es), latest run first. <span class=\"downloads\"><a "
                           "href=\"/lenses.csv%2\">Download CSV</a><a href=\"/api/lenses%2\">"
                           "JSON</a></span></p>\n")
                .arg(found->total)
                .arg(escaped(lensQuery(chosen)));
    body += lensesTable(found->lenses) +
            pager(
                QStringLiteral("/lenses"),
                [&chosen](const QString &page) { return lensQuery(chosen, page); }, pageNumber,
                found->total);
    Reply reply;
    reply.body = page(chosen.decision ? QStringLiteral("Lenses waiting for a decision")
                                      : QStringLiteral("Lenses"),
                      Section::None, body);
    return reply;
}

Reply lensesExport(runs::RunDatabase &records, const Request &request, bool json)
{
    auto filter = lensFilterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    const runs::LensFilter &chosen = std::get<runs::LensFilter>(filter);
    if (!json) {
        auto found = lensCache().page(records, chosen, 1, 0);
        if (!found)
            return failed(found.failure());
        return csvReply(quality::lensesCsv(found->lenses), QStringLiteral("lenses.csv"));
    }
    auto number = pageOf(request);
    if (auto *refused = std::get_if<Reply>(&number))
        return *refused;
    int pageNumber = std::get<int>(number);
    auto found = pageOfLenses(records, chosen, pageNumber);
    if (!found)
        return failed(found.failure());
    QJsonArray list;
    for (const runs::LensRow &each : found->lenses)
        list.append(quality::lensJson(each));
    return listPageJson(found->total, pageNumber, "lenses", list);
}

} // namespace plant
