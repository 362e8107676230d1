#pragma once

#include "drawings.h"
#include "html.h"

#include "base/result.h"
#include "runs/lenslist.h"
#include "runs/runfilter.h"

#include <QJsonArray>
#include <QMap>
#include <QString>

#include <functional>
#include <variant>
#include <vector>

namespace quality {
class Cache;
struct Quality;
} // namespace quality
namespace runs {
class RunDatabase;
struct RecordTable;
} // namespace runs

// The pages of the plant, each a function of the records and the request.
namespace plant {

// The address (`path` decoded, "/runs/3f2a..."; `params` the query decoded, the first of a
// repeated name) and what answering it needs.
struct Request : Address
{
    QStringList segments;       // of the path, each decoded on its own: a serial may hold '/'
    Clock::time_point deadline; // past it, the answer is 503
    quality::Cache *figures = nullptr; // the quality figures lately computed, shared by the threads
    Drawings *drawings = nullptr;      // the runs' drawings, shared by the threads
    double yieldTarget = 90; // percent: a station's week under it with 5 lenses needs attention
    bool head = false; // HEAD: only the answer's headers go back; it reads no log and draws nothing

    [[nodiscard]] QString value(const QString &key) const { return params.value(key); }
};

// The request of an address as a request line holds it ("/lenses/L%2D1?since=..."): each part
// decoded, or 400 when one is not UTF-8 text or holds a control character.
std::variant<Request, Reply> readRequest(const QByteArray &target);

// Which page the request names, and its answer.
Reply answer(runs::RunDatabase &records, const Request &request);

// The pages, as `answer` routes them.
Reply frontPage(runs::RunDatabase &records, const Request &request);
Reply runsPage(runs::RunDatabase &records, const Request &request);
Reply runsExport(runs::RunDatabase &records, const Request &request, bool json);
Reply runPage(runs::RunDatabase &records, const Request &request, const QString &id);
Reply runFile(runs::RunDatabase &records, const Request &request, const QString &id,
              const QString &file);
Reply runJson(runs::RunDatabase &records, const QString &id);
Reply lensPage(runs::RunDatabase &records, const Request &request, const QString &serial);
// A kept cam table's bytes as the station wrote them, as a download named as the station names
// its file; a record whose bytes no longer match their digest is refused, naming it.
Reply camFile(runs::RunDatabase &records, const QString &id);
Reply qualityPage(runs::RunDatabase &records, const Request &request);
Reply qualityExport(runs::RunDatabase &records, const Request &request, bool json);
Reply lensesPage(runs::RunDatabase &records, const Request &request);
Reply lensesExport(runs::RunDatabase &records, const Request &request, bool json);
// A station's u-charts of the errors per move, one per axis, over its latest runs (runs=N), and
// one of them as JSON (axis=zoom1).
Reply stationPage(runs::RunDatabase &records, const Request &request, const QString &station);
Reply stationErrors(runs::RunDatabase &records, const Request &request, const QString &station);
// What needs attention, as an Atom feed.
Reply attentionFeed(runs::RunDatabase &records, const Request &request);

// Shared by the pages.

// A beginning of an id as short as this or longer names a record; a shorter one is refused.
inline constexpr int kShortestBeginning = 4;
// The records a beginning fits that its 400 names, at most.
inline constexpr int kMostCandidates = 20;
// The whole id of the record a beginning names, or the answer that says there is none or which
// records it fits; read from the ids alone.
std::variant<QString, Reply> wholeId(runs::RunDatabase &records, const runs::RecordTable &table,
                                     const QString &beginning);

// The drawing kept under `key`, or the one `draw` makes now, named `what` in a refusal ("charts
// of the run"). For HEAD only a kept one (null when there is none); a drawing refused or late
// answers 503.
std::variant<Drawings::Drawn, Reply> drawingOf(const Request &request, const QString &key,
                                               const QString &what, const Drawings::Draw &draw);
// The quality figures of the filter, from the request's cache when it has one.
base::Result<quality::Quality> qualityOf(runs::RunDatabase &records, const Request &request,
                                         const runs::RunFilter &filter);
// The answer for a failure of that kind, its status from the one table of them, saying `what`.
Reply failed(base::FailureKind kind, const QString &what);
// The answer for a failure found in the records, naming why; those that pass by themselves say
// only that the records cannot be read now, and the server's log names why.
Reply failed(const base::Failure &failure);
// A CSV download saved as `fileName`; JSON.
Reply csvReply(QByteArray body, const QString &fileName);
Reply jsonReply(QByteArray body);
// One page of a list as JSON: {"total", "page", "per_page", `key`: the list}.
Reply listPageJson(int total, int page, const char *key, const QJsonArray &list);
// The filters of the request, or the 400 that names the value that does not read.
std::variant<runs::RunFilter, Reply> filterOf(const Request &request);
// "?key=value&..." of the pairs, each value encoded, and `extra` as it is; empty without any.
QString pairsQuery(const std::vector<std::pair<QString, QString>> &given, const QString &extra);
// "?serial=...&station=..." for links that keep the filters; empty without any.
QString filterQuery(const runs::RunFilter &filter, const QString &extra = {});
// The same for the lens list.
std::variant<runs::LensFilter, Reply> lensFilterOf(const Request &request);
QString lensQuery(const runs::LensFilter &filter, const QString &extra = {});
// The form of the filters, filled in as given, sending to `action`; `more` are fields of its own.
QString filterForm(const runs::RunFilter &filter, const QString &action, const QString &more = {});
// A <select> of `options` (value, text) with "any" first, the given value chosen.
QString choice(const QMap<QString, QString> &given, const char *name, const char *label,
               const std::vector<std::pair<QString, QString>> &options);
// The page number of the request: 1 when none is given; one past any page there can be when it
// is larger than that.
std::variant<int, Reply> pageOf(const Request &request);
// Lists are this many rows a page.
inline constexpr int kPerPage = 100;
// Links to the pages before and after, of a list of `total` rows; `query` gives the address's
// query with the page added.
QString pager(const QString &path, const std::function<QString(const QString &page)> &query,
              int number, int total);
// A table of runs, newest or oldest first as given, each row linking to its run, under its caption.
QString
runsTable(const std::vector<runs::RunRecord> &runs, bool withStation = true,
          const QString &captionText = QStringLiteral("The runs, each linking to its page"));
// "1 h 02 min" between its start and end, or "unknown".
QString runDuration(const runs::RunRecord &run);
QString serialLink(const QString &serial);
QString runLink(const QString &id, const QString &text);

} // namespace plant
