#include "pages.h"
#include "records.h"

#include "quality/export.h"
#include "runin/verdict.h"
#include "runs/camstore.h"
#include "runs/recordtable.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"

#include <QJsonDocument>

#include <cstdio>

namespace plant {

namespace {

// The run a beginning of its id names, with its logs or without, or the answer that says why
// there is none: no run, the runs a beginning fits, or why the records cannot give it.
std::variant<runs::RunRecord, Reply> findRun(runs::RunDatabase &records, const QString &beginning,
                                             runs::RunStore::Logs logs)
{
    auto id = wholeId(records, runs::kRunTable, beginning);
    if (auto *reply = std::get_if<Reply>(&id))
        return *reply;
    auto found = runs::RunStore(records).find(std::get<QString>(id), logs);
    if (found)
        return std::move(*found);
    if (found.failure().kind != base::FailureKind::Damaged)
        return failed(found.failure());
    // The page names the run; where its records live is for the server's log alone.
    std::fprintf(stderr, "velmaro-plant: %s\n", found.error().c_str());
    return failed(base::FailureKind::Damaged,
                  QStringLiteral("The stored record of the run %1 is damaged and cannot be shown.")
                      .arg(std::get<QString>(id)));
}

// One of a run's logs, byte for byte, unpacked as the client takes it: a day's log is never whole
// in memory. HEAD reads only its length.
Reply logFile(runs::RunDatabase &records, const Request &request, const QString &id, bool complete)
{
    Reply reply;
    reply.contentType = "text/plain";
    reply.download =
        complete ? QStringLiteral("Log Complete.txt") : QStringLiteral("Log Errors.txt");
    runs::RunStore store(records);
    if (request.head) {
        auto length = store.logLength(id, complete);
        if (!length)
            return failed(length.failure());
        reply.stream = std::make_shared<Reply::Stream>(Reply::Stream{*length, {}});
        return reply;
    }
    auto packed = store.packedLog(id, complete);
    if (!packed)
        return failed(packed.failure());
    // Unpacked once to nothing first: a damaged log is refused before its first byte goes.
    const auto damaged = [&id](const std::string &why) {
        return failed(base::FailureKind::Damaged,
                      QStringLiteral("The log of the run %1 cannot be read: %2")
                          .arg(id, QString::fromStdString(why)));
    };
    qint64 length = 0;
    for (runs::LogUnpacker check(*packed);;) {
        auto piece = check.next();
        if (!piece)
            return damaged(piece.error());
        if (piece->isEmpty())
            break;
        length += piece->size();
    }
    struct Unpacking
    {
        QByteArray packed;
        std::unique_ptr<runs::LogUnpacker> unpacker;
        qint64 at = 0;
        QByteArray ahead; // unpacked past what the client could take last time
    };
    auto state = std::make_shared<Unpacking>(Unpacking{std::move(*packed), nullptr, 0, {}});
    const auto piece = [state, id](qint64 offset, qint64 most) -> base::Result<QByteArray> {
        // From the start again only when a client asks for a range before the one it had.
        if (!state->unpacker || offset < state->at) {
            state->unpacker = std::make_unique<runs::LogUnpacker>(state->packed);
            state->at = 0;
            state->ahead.clear();
        }
        while (state->at + state->ahead.size() <= offset) {
            state->at += state->ahead.size();
            auto next = state->unpacker->next();
            if (!next || next->isEmpty()) {
                std::fprintf(stderr,
                             "velmaro-plant: the log of the run %s stopped at byte %lld: %s\n",
                             qPrintable(id), static_cast<long long>(state->at),
                             next ? "it ends there" : next.error().c_str());
                return next ? base::fail(base::FailureKind::Damaged, "cut short") : next.failure();
            }
            state->ahead = std::move(*next);
        }
        const qint64 skip = offset - state->at;
        QByteArray given = state->ahead.mid(skip, most);
        state->at = offset + given.size();
        state->ahead = state->ahead.mid(skip + given.size());
        return given;
    };
    reply.stream = std::make_shared<Reply::Stream>(Reply::Stream{length, piece});
    return reply;
}

QString field(const QString &name, const QString &html)
{
    return QStringLiteral("<dt>%1</dt><dd>%2</dd>").arg(name, html);
}

QString largestText(const std::optional<double> &largest)
{
    return largest ? QString::number(*largest, 'f', 1) : QStringLiteral("-");
}

QString errorLines(const QByteArray &log, const QString &base)
{
    // Written by the running-in test in the system's 8-bit encoding, CR LF at each end; the first
    // of them on the page, every one in the download.
    constexpr int kShown = 200;
    const qsizetype lines = log.count("\r\n") + (log.isEmpty() || log.endsWith("\r\n") ? 0 : 1);
    if (lines == 0)
        return QStringLiteral("<p class=\"muted\">The errors log holds no line.</p>");
    qsizetype end = 0;
    for (int line = 0; line < kShown && end < log.size(); ++line) {
        const qsizetype next = log.indexOf("\r\n", end);
        end = next < 0 ? log.size() : next + 2;
    }
    QString shown =
        QString::fromLocal8Bit(log.left(end)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (shown.endsWith(u'\n'))
        shown.chop(1);
    const QString note =
        lines <= kShown ? QStringLiteral("%1 line(s), as \"Log Errors.txt\" holds them.").arg(lines)
                        : QStringLiteral("The first %1 of %2 lines; <a href=\"%3/errors.log\">Log "
                                         "Errors.txt</a> holds them all.")
                              .arg(kShown)
                              .arg(lines)
                              .arg(base);
    return QStringLiteral("<p class=\"muted\">%1</p><pre class=\"log\" id=\"error-lines\">%2</pre>")
        .arg(note, escaped(shown));
}

} // namespace

std::variant<Drawings::Drawn, Reply> drawingOf(const Request &request, const QString &key,
                                               const QString &what, const Drawings::Draw &draw)
{
    static Drawings unshared(0); // for a request without the server's: drawn, never kept
    Drawings &drawings = request.drawings != nullptr ? *request.drawings : unshared;
    if (request.head)
        return drawings.kept(key);
    auto drawn = drawings.drawn(key, draw, request.deadline);
    if (drawn)
        return *drawn;
    if (drawn.kind() == base::FailureKind::Busy || drawn.kind() == base::FailureKind::TimedOut)
        return failed(drawn.kind(), QStringLiteral("The %1 could not be drawn now: %2.")
                                        .arg(what, QString::fromStdString(drawn.error())));
    return failed(drawn.kind(), QStringLiteral("The %1 could not be drawn: %2")
                                    .arg(what, QString::fromStdString(drawn.error())));
}

Reply runPage(runs::RunDatabase &records, const Request &request, const QString &id)
{
    auto found = findRun(records, id, runs::RunStore::Logs::With);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    const runs::RunRecord &run = std::get<runs::RunRecord>(found);

    // HEAD draws nothing: without charts kept, the page's length is not known.
    auto drawn = drawingOf(request, Drawings::key(QStringLiteral("charts"), run.id, run.digest),
                           QStringLiteral("charts of the run"), [&run]() -> base::Result<Drawing> {
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
        field(QStringLiteral("Station"), stationLink(run.station)) +
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

    body += QStringLiteral("<h2>Axes</h2><table><caption>Moves and errors "
                           "per axis</caption><thead><tr><th>Axis</th><th "
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
    body +=
        QStringLiteral("</tbody></table>\n<h2>Error lines</h2>\n") + errorLines(run.errors, base);

    body += QStringLiteral("<h2>Charts</h2>\n<div class=\"charts\">\n");
    // Each chart in words for a reader who hears the page: its axis's moves and errors.
    for (std::size_t each = 0; each < charts.charts.size(); ++each) {
        QString words;
        if (each < std::size_t(runs::kAxisCount)) {
            const runs::AxisFigures &axis = run.axes.at(each);
            words = QStringLiteral("%1 move(s), %2 error(s) above the threshold, the largest %3")
                        .arg(axis.moves)
                        .arg(axis.errors)
                        .arg(largestText(axis.largest));
        } else {
            words = QStringLiteral("%1 error(s) above the threshold in all; the table of axes "
                                   "above counts them per axis")
                        .arg(run.errorCount());
        }
        const SvgChart &chart = charts.charts.at(each);
        body += QStringLiteral("<figure class=\"chart\" title=\"%1\" role=\"img\" "
                               "aria-label=\"%1: %2\">%3</figure>\n")
                    .arg(escaped(chart.title), escaped(words), QString::fromUtf8(chart.svg));
    }
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
    if (file == QLatin1String("complete.log") || file == QLatin1String("errors.log")) {
        auto whole = wholeId(records, runs::kRunTable, id);
        if (auto *reply = std::get_if<Reply>(&whole))
            return *reply;
        return logFile(records, request, std::get<QString>(whole),
                       file == QLatin1String("complete.log"));
    }
    auto found = findRun(records, id, runs::RunStore::Logs::With);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    const runs::RunRecord &run = std::get<runs::RunRecord>(found);
    Reply reply;
    // The lens's cam table is read here, on this thread's connection; only the drawing moves. As
    // velmaro-report does, a table that cannot be read leaves the report without it.
    std::optional<camtable::CamTable> table;
    if (!request.head)
        if (auto cam = runs::CamStore(records).tableOfRun(run); cam)
            table = *cam;
    auto drawn =
        drawingOf(request, Drawings::key(QStringLiteral("report.pdf"), run.id, run.digest),
                  QStringLiteral("report of the run"), [&run, &table]() -> base::Result<Drawing> {
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
    auto found = findRun(records, id, runs::RunStore::Logs::Without);
    if (auto *reply = std::get_if<Reply>(&found))
        return *reply;
    return jsonReply(QJsonDocument(quality::runJson(std::get<runs::RunRecord>(found))).toJson());
}

} // namespace plant
