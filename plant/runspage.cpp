#include "pages.h"
#include "records.h"

#include "runs/progress.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"

#include "quality/export.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <limits>

namespace plant {

namespace {

constexpr int kBeyondAnyPage = std::numeric_limits<int>::max() / kPerPage;

// The runs of the page asked for, or of the last page when it is past that.
base::Result<runs::RunPage> pageOfRuns(runs::RunDatabase &records, const runs::RunFilter &filter,
                                       int &number)
{
    auto found = runs::RunStore(records).page(filter, number, kPerPage);
    const int last = found ? std::max(1, (found->total + kPerPage - 1) / kPerPage) : number;
    if (!found || number <= last)
        return found;
    number = last;
    return runs::RunStore(records).page(filter, number, kPerPage);
}

} // namespace

std::variant<int, Reply> pageOf(const Request &request)
{
    if (!request.params.contains(QStringLiteral("page")))
        return 1;
    const QString text = request.value(QStringLiteral("page"));
    static const QRegularExpression digits(QRegularExpression::anchoredPattern("[0-9]{1,4000}"));
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!digits.match(text).hasMatch() || (ok && number < 1))
        return problem(
            400, QStringLiteral("page: '%1' is not a page number (1, 2, ...)").arg(text.left(80)));
    return ok ? static_cast<int>(std::min<qlonglong>(number, kBeyondAnyPage)) : kBeyondAnyPage;
}

QString pager(const QString &path, const std::function<QString(const QString &page)> &query,
              int number, int total)
{
    const int pages = std::max(1, (total + kPerPage - 1) / kPerPage);
    const auto link = [&](int to, const char *text) {
        return QStringLiteral("<a href=\"%1%2\" rel=\"%3\">%4</a>")
            .arg(path, escaped(query(QStringLiteral("page=%1").arg(to))),
                 QLatin1String(text[0] == 'N' ? "next" : "prev"), QLatin1String(text));
    };
    QString html = QStringLiteral("<div class=\"pager\">");
    if (number > 1)
        html += link(number - 1, "Previous page");
    html += QStringLiteral("<span>Page %1 of %2</span>").arg(number).arg(pages);
    if (number < pages)
        html += link(number + 1, "Next page");
    return html + QStringLiteral("</div>\n");
}

Reply runsPage(runs::RunDatabase &records, const Request &request)
{
    auto filter = filterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    auto number = pageOf(request);
    if (auto *reply = std::get_if<Reply>(&number))
        return *reply;
    const runs::RunFilter &chosen = std::get<runs::RunFilter>(filter);
    int pageNumber = std::get<int>(number);
    auto found = pageOfRuns(records, chosen, pageNumber);
    if (!found)
        return failed(found.failure());

    const int first = (pageNumber - 1) * kPerPage + 1;
    QString body = filterForm(chosen, QStringLiteral("/runs"));
    body +=
        QStringLiteral("<p>%1 run(s)%2. <span class=\"downloads\"><a href=\"/runs.csv%3\">"
                       "Download CSV</a><a href=\"/api/runs%3\">JSON</a></span></p>\n")
            .arg(found->total)
            .arg(found->runs.empty() ? QString()
                                     : QStringLiteral(", newest first; %1 to %2 shown")
                                           .arg(first)
                                           .arg(first + static_cast<int>(found->runs.size()) - 1))
            .arg(escaped(filterQuery(chosen)));
    body += runsTable(found->runs) +
            pager(
                QStringLiteral("/runs"),
                [&chosen](const QString &page) { return filterQuery(chosen, page); }, pageNumber,
                found->total);
    Reply reply;
    reply.body = page(QStringLiteral("Runs"), Section::Runs, body);
    return reply;
}

Reply runsExport(runs::RunDatabase &records, const Request &request, bool json)
{
    auto filter = filterOf(request);
    if (auto *reply = std::get_if<Reply>(&filter))
        return *reply;
    const runs::RunFilter &chosen = std::get<runs::RunFilter>(filter);
    if (!json) {
        auto found = runs::RunStore(records).list(chosen);
        if (!found)
            return failed(found.failure());
        return csvReply(quality::runsCsv(*found), QStringLiteral("runs.csv"));
    }
    auto number = pageOf(request);
    if (auto *refused = std::get_if<Reply>(&number))
        return *refused;
    int pageNumber = std::get<int>(number);
    auto found = pageOfRuns(records, chosen, pageNumber);
    if (!found)
        return failed(found.failure());
    QJsonArray list;
    for (const runs::RunRecord &each : found->runs)
        list.append(quality::runJson(each));
    return listPageJson(found->total, pageNumber, "runs", list);
}

} // namespace plant
