#include "pages.h"
#include "records.h"

#include "quality/cache.h"
#include "quality/filter.h"
#include "runs/camrecord.h"
#include "runs/recordtable.h"
#include "runs/rundatabase.h"
#include "runs/schema.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>
#include <map>

namespace plant {

namespace {

// A value shown in a message: whole when short, its beginning when it is not.
QString shown(const QString &text)
{
    constexpr int kLongest = 80;
    return text.size() <= kLongest
               ? text
               : text.left(kLongest) + QStringLiteral("... (%1 characters)").arg(text.size());
}

} // namespace

std::variant<QString, Reply> wholeId(runs::RunDatabase &records, const runs::RecordTable &table,
                                     const QString &beginning)
{
    auto ids = runs::idsBeginningWith(records, table, beginning, kMostCandidates + 1);
    if (!ids)
        return failed(ids.failure());
    const QString noun = QLatin1String(table.noun);
    if (ids->isEmpty())
        return failed(base::FailureKind::NotFound,
                      QStringLiteral("No %1 has the id %2.").arg(noun, beginning));
    if (ids->size() == 1)
        return ids->front();
    const bool more = ids->size() > kMostCandidates;
    return failed(base::FailureKind::Ambiguous,
                  QStringLiteral("id: '%1' is the beginning of more than one %2: %3%4. Give more "
                                 "of it.")
                      .arg(beginning, noun, ids->mid(0, kMostCandidates).join(QStringLiteral(", ")),
                           more ? QStringLiteral(" and more") : QString()));
}

base::Result<quality::Quality> qualityOf(runs::RunDatabase &records, const Request &request,
                                         const runs::RunFilter &filter)
{
    return request.figures != nullptr ? request.figures->compute(records, filter)
                                      : quality::compute(records, filter);
}

Reply failed(base::FailureKind kind, const QString &what)
{
    using enum base::FailureKind;
    static const std::map<base::FailureKind, int> kStatus{
        {NotFound, 404}, {Ambiguous, 400},   {InvalidInput, 400}, {Damaged, 500},
        {Internal, 500}, {Unavailable, 503}, {TimedOut, 503},     {Busy, 503},
    };
    Reply reply = problem(kStatus.at(kind), what);
    reply.failure = kind;
    if (kind == Busy)
        reply.retryAfter = 5;
    return reply;
}

Reply csvReply(QByteArray body, const QString &fileName)
{
    Reply reply;
    reply.body = std::move(body);
    reply.contentType = "text/csv; charset=utf-8";
    reply.download = fileName;
    return reply;
}

Reply jsonReply(QByteArray body)
{
    Reply reply;
    reply.body = std::move(body);
    reply.contentType = "application/json";
    return reply;
}

Reply listPageJson(int total, int page, const char *key, const QJsonArray &list)
{
    return jsonReply(QJsonDocument(QJsonObject{{"total", total},
                                               {"page", page},
                                               {"per_page", kPerPage},
                                               {QLatin1String(key), list}})
                         .toJson());
}

Reply failed(const base::Failure &failure)
{
    using enum base::FailureKind;
    if (failure.kind != Unavailable && failure.kind != TimedOut && failure.kind != Internal)
        return failed(failure.kind, QString::fromStdString(failure.reason));
    // Where the records live, who reads them and what they said is for the server's log, not
    // for every visitor.
    std::fprintf(stderr, "velmaro-plant: the records cannot be read: %s\n", failure.reason.c_str());
    return failed(failure.kind, QStringLiteral("The run records cannot be read now."));
}

std::variant<runs::RunFilter, Reply> filterOf(const Request &request)
{
    auto filter =
        quality::readFilter([&request](const QString &key) { return request.value(key); });
    if (!filter)
        return failed(filter.failure());
    return *filter;
}

QString pairsQuery(const std::vector<std::pair<QString, QString>> &given, const QString &extra)
{
    QStringList pairs;
    for (const auto &[key, value] : given)
        pairs << key + u'=' + urlPart(value);
    if (!extra.isEmpty())
        pairs << extra;
    return pairs.isEmpty() ? QString() : u'?' + pairs.join(u'&');
}

QString filterQuery(const runs::RunFilter &filter, const QString &extra)
{
    return pairsQuery(quality::filterPairs(filter), extra);
}

QString choice(const QMap<QString, QString> &given, const char *name, const char *label,
               const std::vector<std::pair<QString, QString>> &options)
{
    const QString chosen = given.value(QLatin1String(name));
    QString html = QStringLiteral("<label>%1<select name=\"%2\"><option value=\"\">any</option>")
                       .arg(QLatin1String(label), QLatin1String(name));
    for (const auto &[value, text] : options)
        html += QStringLiteral("<option value=\"%1\"%2>%3</option>")
                    .arg(escaped(value), chosen == value ? QStringLiteral(" selected") : QString(),
                         escaped(text));
    return html + QStringLiteral("</select></label>");
}

QString filterForm(const runs::RunFilter &filter, const QString &action, const QString &more)
{
    QMap<QString, QString> given;
    for (const auto &[key, value] : quality::filterPairs(filter))
        given[key] = value;
    const auto field = [&given](const char *name, const char *label, const char *type) {
        return QStringLiteral("<label>%1<input type=\"%2\" name=\"%3\" value=\"%4\"></label>")
            .arg(QLatin1String(label), QLatin1String(type), QLatin1String(name),
                 escaped(given.value(QLatin1String(name))));
    };
    std::vector<std::pair<QString, QString>> axes, endings;
    for (int axis = 0; axis < runs::kAxisCount; ++axis)
        axes.emplace_back(
            QLatin1String(runs::schema::kAxisColumns.at(static_cast<std::size_t>(axis))),
            runs::axisName(axis));
    for (const auto ending :
         {runin::RunEnding::Completed, runin::RunEnding::Aborted, runin::RunEnding::NoAnswer,
          runin::RunEnding::LineLost, runin::RunEnding::Closed, runin::RunEnding::Unknown})
        endings.emplace_back(runs::endingText(ending), runs::endingText(ending));
    QString html =
        QStringLiteral("<form class=\"filters\" method=\"get\" action=\"%1\">").arg(action) +
        field("serial", "Lens serial", "text") + field("station", "Station", "text") +
        field("operator", "Operator", "text") +
        choice(given, "verdict", "Verdict", {{"pass", "pass"}, {"fail", "fail"}}) +
        field("since", "Since", "date") + field("until", "Until", "date") +
        choice(given, "axis", "Error on", axes) +
        choice(given, "tests", "Tests",
               {{"step", "Single Step"}, {"stroke", "Full stroke"}, {"both", "both"}}) +
        choice(given, "ending", "How it ended", endings);
    if (given.contains(QStringLiteral("week")))
        html += field("week", "ISO week", "text");
    return html + more +
           QStringLiteral("<button type=\"submit\">Filter</button> <a href=\"%1\">Clear</a></form>")
               .arg(action);
}

QString runDuration(const runs::RunRecord &run)
{
    if (!run.start.isValid() || !run.end.isValid())
        return QStringLiteral("unknown");
    const qint64 minutes = run.start.secsTo(run.end) / 60;
    return minutes < 60 ? QStringLiteral("%1 min").arg(minutes)
                        : QStringLiteral("%1 h %2 min")
                              .arg(minutes / 60)
                              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString serialLink(const QString &serial)
{
    if (serial.isEmpty())
        return QStringLiteral("<span class=\"muted\">none</span>");
    // Browsers drop "." and ".." from a path, percent-encoded or not: those two go in the query.
    const bool dots = serial == QLatin1String(".") || serial == QLatin1String("..");
    return QStringLiteral("<a href=\"/lenses%1%2\">%3</a>")
        .arg(dots ? QStringLiteral("?serial=") : QStringLiteral("/"), urlPart(serial),
             escaped(serial));
}

QString runLink(const QString &id, const QString &text)
{
    return QStringLiteral("<a class=\"mono\" href=\"/runs/%1\">%2</a>")
        .arg(urlPart(id), escaped(text));
}

QString runsTable(const std::vector<runs::RunRecord> &list, bool withStation,
                  const QString &captionText)
{
    if (list.empty())
        return QStringLiteral("<p class=\"muted\">No runs.</p>");
    QString html = QStringLiteral("<table>") + caption(captionText) +
                   QStringLiteral("<thead><tr><th>Run</th><th>Started</th>");
    if (withStation)
        html += QStringLiteral("<th>Station</th>");
    html += QStringLiteral("<th>Lens serial</th><th>Operator</th><th class=\"num\">Duration</th>"
                           "<th class=\"num\">Cycles</th><th>How it ended</th><th "
                           "class=\"num\">Errors</th><th>Verdict</th></tr></thead><tbody>\n");
    for (const runs::RunRecord &run : list) {
        html += QStringLiteral("<tr><td>%1</td><td>%2</td>")
                    .arg(runLink(run.id, run.id.left(8)), localTime(run.start));
        if (withStation)
            html += QStringLiteral("<td>%1</td>").arg(stationLink(run.station));
        html += QStringLiteral("<td>%1</td><td>%2</td><td class=\"num\">%3</td><td "
                               "class=\"num\">%4</td><td>%5</td><td class=\"num\">%6</td>"
                               "<td>%7</td></tr>\n")
                    .arg(serialLink(run.serial), escaped(run.operatorName), runDuration(run),
                         QString::number(run.cycles), escaped(runs::endingText(run.ending)),
                         QString::number(run.errorCount()), verdictBadge(passed(run)));
    }
    return html + QStringLiteral("</tbody></table>\n");
}

namespace {

Reply route(runs::RunDatabase &records, const Request &request)
{
    QStringList parts = request.segments;
    if (parts.isEmpty())
        parts << QString();
    if (parts.size() > 1 && parts.last().isEmpty())
        parts.removeLast(); // "/runs/" as "/runs"
    const QString first = parts.value(0);
    const auto checkedId = [](const QString &id, const char *noun = "run") -> std::optional<Reply> {
        static const QRegularExpression idText(
            QRegularExpression::anchoredPattern(QStringLiteral("[0-9a-fA-F-]{1,36}")));
        static const QRegularExpression longEnough(
            QStringLiteral("^[0-9a-fA-F]{%1}").arg(kShortestBeginning));
        if (!idText.match(id).hasMatch())
            return problem(400, QStringLiteral("id: '%1' is not a %2 id (its hexadecimal digits, "
                                               "whole or a unique beginning)")
                                    .arg(shown(id), QLatin1String(noun)));
        if (!longEnough.match(id).hasMatch())
            return problem(400, QStringLiteral("id: '%1' is too short: give at least the first %2 "
                                               "hexadecimal digits of a %3 id")
                                    .arg(id)
                                    .arg(kShortestBeginning)
                                    .arg(QLatin1String(noun)));
        return std::nullopt;
    };

    if (parts.size() == 1 && first.isEmpty())
        return frontPage(records, request);
    if (parts.size() == 1 && first == QLatin1String("runs"))
        return runsPage(records, request);
    if (parts.size() == 1 && first == QLatin1String("runs.csv"))
        return runsExport(records, request, false);
    if (parts.size() == 1 && first == QLatin1String("quality"))
        return qualityPage(records, request);
    if (parts.size() == 1 && first == QLatin1String("quality.csv"))
        return qualityExport(records, request, false);
    if (first == QLatin1String("runs") && (parts.size() == 2 || parts.size() == 3)) {
        if (auto wrong = checkedId(parts.at(1)))
            return *wrong;
        if (parts.size() == 2)
            return runPage(records, request, parts.at(1));
        if (QStringList{"report.pdf", "complete.log", "errors.log"}.contains(parts.at(2)))
            return runFile(records, request, parts.at(1), parts.at(2));
    }
    // The lens list, its CSV and JSON. "/lenses?serial=." and ".." alone are those lenses' pages,
    // which no path can name.
    const QString serial = request.value(QStringLiteral("serial"));
    const bool dots = serial == QLatin1String(".") || serial == QLatin1String("..");
    if (parts.size() == 1 && first == QLatin1String("lenses") &&
        !(request.params.size() == 1 && dots))
        return lensesPage(records, request);
    if (parts.size() == 1 && first == QLatin1String("lenses.csv"))
        return lensesExport(records, request, false);
    if (parts.size() == 2 && first == QLatin1String("api") &&
        parts.at(1) == QLatin1String("lenses"))
        return lensesExport(records, request, true);
    if (first == QLatin1String("lenses") && (parts.size() == 2 || (parts.size() == 1 && dots))) {
        const QString lens = parts.size() == 2 ? parts.at(1) : serial;
        if (auto wrong = runs::checkSerial(lens); !wrong)
            return problem(400,
                           QStringLiteral("serial: %1").arg(QString::fromStdString(wrong.error())));
        return lensPage(records, request, lens);
    }
    if (first == QLatin1String("cams") && parts.size() == 2) {
        if (auto wrong = checkedId(parts.at(1), "cam table"))
            return *wrong;
        return camFile(records, parts.at(1));
    }
    if (first == QLatin1String("api") && parts.value(1) == QLatin1String("runs")) {
        if (parts.size() == 2)
            return runsExport(records, request, true);
        if (parts.size() == 3) {
            if (auto wrong = checkedId(parts.at(2)))
                return *wrong;
            return runJson(records, parts.at(2));
        }
    }
    if (first == QLatin1String("api") && parts.value(1) == QLatin1String("quality") &&
        parts.size() == 2)
        return qualityExport(records, request, true);
    // A station by its name in the path, or in the query for the names a browser drops there.
    const bool stationQuery = request.params.contains(QStringLiteral("station"));
    if (first == QLatin1String("stations") &&
        (parts.size() == 2 || (parts.size() == 1 && stationQuery)))
        return stationPage(records, request,
                           parts.size() == 2 ? parts.at(1) : request.value("station"));
    if (first == QLatin1String("api") && parts.value(1) == QLatin1String("stations") &&
        parts.last() == QLatin1String("errors") &&
        (parts.size() == 4 || (parts.size() == 3 && stationQuery)))
        return stationErrors(records, request,
                             parts.size() == 4 ? parts.at(2) : request.value("station"));
    if (parts.size() == 1 && first == QLatin1String("attention.atom"))
        return attentionFeed(records, request);
    return problem(404, QStringLiteral("There is no page %1 here.").arg(shown(request.path)));
}

} // namespace

Reply answer(runs::RunDatabase &records, const Request &request)
{
    Reply reply = route(records, request);
    // The page that says the records cannot be read now reloads itself at its own address.
    if (reply.status == 503 && !reply.said.isEmpty())
        reply.body = problem(503, reply.said, &request).body;
    return reply;
}

} // namespace plant
