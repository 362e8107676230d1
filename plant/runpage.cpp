#include "pages.h"
#include "records.h"

#include "quality/export.h"
#include "runin/verdict.h"
#include "runs/camstore.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"

#include <QJsonDocument>

namespace plant {

namespace {

// The run an id names, or the answer that says why there is none: no run, the runs a beginning
// fits, or why the records cannot give it.
std::variant<runs::RunRecord, Reply> findRun(runs::RunDatabase &records, const QString &id)
{
    auto found = runs::RunStore(records).find(id);
    if (found)
        return std::move(*found);
    if (found.kind() == base::FailureKind::NotFound)
        return failed(found.kind(), QStringLiteral("No run has the id %1.").arg(id));
    if (found.kind() != base::FailureKind::Ambiguous)
        return failed(found.failure());
    QStringList fitting;
    if (auto all = runs::RunStore(records).list({}); all) {
        for (const runs::RunRecord &run : *all)
            if (run.id.startsWith(id, Qt::CaseInsensitive))
                fitting << run.id;
    }
    return failed(found.kind(), QStringLiteral("id: '%1' is the beginning of more than one run: "
                                               "%2. Give more of it.")
                                    .arg(id, fitting.join(QStringLiteral(", "))));
}

QString field(const QString &name, const QString &html)
{
    return QStringLiteral("<dt>%1</dt><dd>%2</dd>").arg(name, html);
}

QString largestText(const std::optional<double> &largest)
{
    return largest ? QString::number(*largest, 'f', 1) : QStringLiteral("-");
}

QString errorLines(const QByteArray &log)
{
    // Written by the running-in test in the system's 8-bit encoding, CR LF at each end.
    QStringList lines = QString::fromLocal8Bit(log).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return QStringLiteral("<p class=\"muted\">The errors log holds no line.</p>");
    return QStringLiteral("<p class=\"muted\">%1 line(s), as \"Log Errors.txt\" holds them.</p>"
                          "<pre class=\"log\" id=\"error-lines\">%2</pre>")
        .arg(lines.size())
        .arg(escaped(lines.join(u'\n')));
}

// The run's drawing of that kind: kept, or drawn now. For HEAD only a kept one (null when there
// is none); a drawing refused or late answers 503.
std::variant<Drawings::Drawn, Reply> drawingOf(const Request &request, const QString &kind,
                                               const runs::RunRecord &run,
                                               const Drawings::Draw &draw)
{
    static Drawings unshared(0); // for a request without the server's: drawn, never kept
    Drawings &drawings = request.drawings != nullptr ? *request.drawings : unshared;
    const QString key = Drawings::key(kind, run.id, run.digest);
    if (request.head)
        return drawings.kept(key);
    auto drawn = drawings.drawn(key, draw, request.deadline);
    if (drawn)
        return *drawn;
    if (drawn.kind() == base::FailureKind::Busy || drawn.kind() == base::FailureKind::TimedOut)
        return failed(drawn.kind(),
                      QStringLiteral("The %1 of the run could not be drawn now: %2.")
                          .arg(kind == QLatin1String("charts") ? QStringLiteral("charts")
                                                               : QStringLiteral("report"),
                               QString::fromStdString(drawn.error())));
    return failed(drawn.kind(), QStringLiteral("The report could not be drawn: %1")
                                    .arg(QString::fromStdString(drawn.error())));
}

} // namespace

Reply runPage(runs::RunDatabase &records, const Request &request, const QString &id)
{
    auto found = findRun(records, id);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    const runs::RunRecord &run = std::get<runs::RunRecord>(found);

    // HEAD draws nothing: without charts kept, the page's length is not known.
    auto drawn = drawingOf(request, QStringLiteral("charts"), run, [&run]() -> base::Result<Drawing> {
        return Drawing{drawRunCharts(run), {}};
    });
    if (auto *reply = std::get_if<Reply>(&drawn))
        return *reply;
    const Drawings::Drawn &drawing = std::get<Drawings::Drawn>(drawn);
    const RunCharts charts = drawing ? drawing->charts : RunCharts{};

    const QString base = QStringLiteral("/runs/") + urlPart(run.id);
    QString body =
        QStringLiteral("<dl class=\"fields\">") +
        field(QStringLiteral("Run"),
              QStringLiteral("<span class=\"mono\">%1</span>").arg(escaped(run.id))) +
        field(QStringLiteral("Verdict"),
              verdictBadge(passed(run)) + u' ' + escaped(runin::verdictText(run.errorCount()))) +
        field(QStringLiteral("Station"), escaped(run.station)) +
        field(QStringLiteral("Operator"), escaped(run.operatorName)) +
        field(QStringLiteral("Lens serial"), serialLink(run.serial)) +
        field(QStringLiteral("Tests"), escaped(run.tests)) +
        field(QStringLiteral("Started"), localTime(run.start)) +
        field(QStringLiteral("Ended"), localTime(run.end)) +
        field(QStringLiteral("Duration"), runDuration(run)) +
        field(QStringLiteral("Cycles"), QString::number(run.cycles)) +
        field(QStringLiteral("How it ended"), escaped(runs::endingText(run.ending))) +
        field(QStringLiteral("Version"), escaped(run.version)) +
        field(QStringLiteral("Port"), escaped(run.port)) +
        field(QStringLiteral("Logs digest"), QStringLiteral("<span class=\"mono\">%1</span>")
                                                 .arg(escaped(QString::fromLatin1(run.digest)))) +
        QStringLiteral("</dl>\n<p class=\"downloads\"><a href=\"%1/report.pdf\">Report "
                       "(PDF)</a><a href=\"%1/complete.log\">Log Complete.txt</a><a "
                       "href=\"%1/errors.log\">Log Errors.txt</a></p>\n")
            .arg(base);

    body += QStringLiteral("<h2>Axes</h2><table><thead><tr><th>Axis</th><th "
                           "class=\"num\">Moves</th><th class=\"num\">Errors above the "
                           "threshold</th><th class=\"num\">Largest error</th></tr></thead>"
                           "<tbody>\n");
    for (int axis = 0; axis < runs::kAxisCount; ++axis) {
        const runs::AxisFigures &figures = run.axes.at(std::size_t(axis));
        body += QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td><td "
                               "class=\"num\">%3</td><td class=\"num\">%4</td></tr>\n")
                    .arg(runs::axisName(axis))
                    .arg(figures.moves)
                    .arg(figures.errors)
                    .arg(largestText(figures.largest));
    }
    body += QStringLiteral("</tbody></table>\n<h2>Error lines</h2>\n") + errorLines(run.errors);

    body += QStringLiteral("<h2>Charts</h2>\n<div class=\"charts\">\n");
    for (const SvgChart &chart : charts.charts)
        body += QStringLiteral("<figure class=\"chart\" title=\"%1\">%2</figure>\n")
                    .arg(escaped(chart.title), QString::fromUtf8(chart.svg));
    body += QStringLiteral("</div>\n");
    if (!charts.note.isEmpty())
        body += QStringLiteral("<p class=\"muted\">%1</p>\n").arg(escaped(charts.note));

    Reply reply;
    reply.body = page(QStringLiteral("Run %1").arg(run.id.left(8)), Section::Runs, body);
    reply.bodyNotMade = drawing == nullptr;
    return reply;
}

Reply runFile(runs::RunDatabase &records, const Request &request, const QString &id,
              const QString &file)
{
    auto found = findRun(records, id);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    const runs::RunRecord &run = std::get<runs::RunRecord>(found);
    Reply reply;
    if (file == QLatin1String("complete.log") || file == QLatin1String("errors.log")) {
        // Byte for byte, under the names the station gives its logs.
        const bool complete = file == QLatin1String("complete.log");
        reply.body = complete ? run.complete : run.errors;
        reply.contentType = "text/plain";
        reply.download =
            complete ? QStringLiteral("Log Complete.txt") : QStringLiteral("Log Errors.txt");
        return reply;
    }
    // The lens's cam table is read here, on this thread's connection; only the drawing moves. As
    // velmaro-report does, a table that cannot be read leaves the report without it.
    std::optional<camtable::CamTable> table;
    if (!request.head)
        if (auto cam = runs::CamStore(records).tableOfRun(run); cam)
            table = *cam;
    auto drawn = drawingOf(request, QStringLiteral("report.pdf"), run,
                           [&run, &table]() -> base::Result<Drawing> {
                               auto pdf = drawRunReport(run, table);
                               if (!pdf)
                                   return pdf.failure();
                               return Drawing{{}, std::move(*pdf)};
                           });
    if (auto *refused = std::get_if<Reply>(&drawn))
        return *refused;
    const Drawings::Drawn &drawing = std::get<Drawings::Drawn>(drawn);
    if (drawing)
        reply.body = drawing->pdf;
    reply.bodyNotMade = drawing == nullptr;
    reply.contentType = "application/pdf";
    reply.download = QStringLiteral("run-%1.pdf").arg(run.id.left(8));
    return reply;
}

Reply runJson(runs::RunDatabase &records, const QString &id)
{
    auto found = findRun(records, id);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    Reply reply;
    reply.body = QJsonDocument(quality::runJson(std::get<runs::RunRecord>(found))).toJson();
    reply.contentType = "application/json";
    return reply;
}

} // namespace plant
