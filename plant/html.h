#pragma once

#include "base/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

#include <functional>
#include <memory>
#include <optional>

// The pieces every page of the plant is made of: escaped text, links that keep the filters, the
// page frame with its header and stylesheet, and the answers the server gives.
namespace plant {

// Text made safe for an element or a quoted attribute: markup, quotes and ampersands become
// references, and control characters (other than tab and line ends) are dropped.
QString escaped(const QString &text);

// A path segment or query value as a URL holds it (UTF-8, percent-encoded).
QString urlPart(const QString &text);

// Times in the server's own time zone, which every page's footer names; dates as YYYY-MM-DD. A
// time in the hour that comes twice when the clocks go back carries its offset, so that the two
// differ: "2026-10-25 02:30:00 +02:00", then "2026-10-25 02:30:00 +01:00".
QString localTime(const QDateTime &utc); // "2026-12-05 14:03:07", "unknown"
QString localDate(const QDateTime &utc); // "2026-12-05"
QString clockTime(const QDateTime &utc); // "14:03"
// "Times in Europe/Berlin (UTC+01:00)": the zone and its offset at `utc`.
QString zoneLine(const QDateTime &utc);
QString age(const QDateTime &utc, const QDateTime &now); // "2 min 05 s"

// A percentage with one decimal and a point whatever the locale, or "-" for none.
QString percent(std::optional<double> value);

// An answer to a request.
struct Reply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "text/html; charset=utf-8";
    QString download; // the file name a browser saves it as, when it is a download
    std::optional<base::FailureKind> failure; // why there is no page, when a failure says why
    std::optional<int> retryAfter;            // seconds, for a refusal that passes by itself
    // An answer to HEAD whose body was not made (a drawing not drawn yet): its length is unknown.
    bool bodyNotMade = false;

    // A body sent as the client takes it, instead of `body`: its length, and from an offset on
    // the next piece of at most so many bytes (a failure cuts the connection). Without `piece`
    // (HEAD) only the length goes.
    struct Stream
    {
        qint64 length = 0;
        std::function<base::Result<QByteArray>(qint64 offset, qint64 most)> piece;
    };
    std::shared_ptr<const Stream> stream;
    QString said; // what a problem page says, for drawing it again at its address
};

// The parts of the site, for the header's navigation.
enum class Section { Now, Runs, Quality, None };

// The address a page was asked for, path and query, for a page that reloads itself there.
struct Address
{
    QString path;
    QMap<QString, QString> params;
};

// A whole HTML page: the title, the header with the navigation, `body` and the footer. Each table
// scrolls sideways in its own box, so that the page does not on a narrow screen. With `reloading`
// the page reloads itself every 30 s at that address, query and all: only what changes by itself
// (the plant now, a page that is there again once the records are) does. It offers to pause, at
// the same address with reload=0, which stays until the reader resumes.
QByteArray page(const QString &title, Section section, const QString &body,
                const Address *reloading = nullptr, const QString &head = {});

// A page that says what went wrong, with its status: 400 (a value that does not read), 404, 405
// or 503 (the records cannot be read now; that one reloads itself at `here`, when given).
Reply problem(int status, const QString &what, const Address *here = nullptr);

// A table's caption, which names it for a reader who hears the page.
QString caption(const QString &text);

// A station's page ("/stations/bench%2F1"), and its name as a link to it.
QString stationAddress(const QString &station);
QString stationLink(const QString &station);

// <span class="pass">pass</span> or fail, in words as well as colour.
QString verdictBadge(bool pass);

} // namespace plant
