#include "html.h"

#include "runs/localtime.h"

#include <QTimeZone>
#include <QUrl>

namespace plant {

namespace {

constexpr int kRefreshSeconds = 30;

// Small and inline, so a page is one request and reads the same on any browser of the plant.
constexpr const char *kStyle = R"css(
:root{--ink:#1d2733;--muted:#5b6878;--line:#dde3ea;--band:#f4f6f9;--accent:#1f5f9e;
--pass:#1b7a3d;--pass-bg:#e3f4e8;--fail:#b3261e;--fail-bg:#fbe6e4;--warn:#8a5a00;--warn-bg:#fff3d6}
*{box-sizing:border-box}
body{margin:0;font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;
color:var(--ink);background:#fff}
header{background:#14283d;color:#fff;padding:0 24px;display:flex;flex-wrap:wrap;align-items:center;
column-gap:28px}
header .brand{font-weight:700;font-size:17px;letter-spacing:.02em;padding:14px 0}
header .brand small{font-weight:400;color:#a9bdd1;margin-left:6px}
nav a{color:#cfe0f0;text-decoration:none;padding:16px 12px;display:inline-block;
border-bottom:3px solid transparent}
nav a:hover{color:#fff}
nav a.here{color:#fff;border-bottom-color:#5aa7e8}
main{padding:20px 24px 32px;max-width:1400px}
h1{font-size:22px;margin:4px 0 14px}
h2{font-size:17px;margin:26px 0 10px;color:#243447}
a{color:var(--accent)}
.scroll{overflow-x:auto;max-width:100%;margin:4px 0 8px}
table{border-collapse:collapse;width:100%;font-size:14px}
caption{caption-side:top;text-align:left;color:var(--muted);font-size:13px;padding:2px 0 6px}
.sr{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}
.reload{float:right;font-size:13px;margin-top:6px}
th,td{padding:6px 10px;border-bottom:1px solid var(--line);text-align:left;vertical-align:top}
th{background:var(--band);font-weight:600;color:#33475b;white-space:nowrap}td.when{white-space:nowrap}
tbody tr:hover{background:#f9fbfd}
td.num,th.num{text-align:right;font-variant-numeric:tabular-nums}
td.mono,.mono{font-family:"DejaVu Sans Mono",Menlo,Consolas,monospace;font-size:13px}
.badge{display:inline-block;padding:1px 8px;border-radius:10px;font-size:13px;font-weight:600}
.pass{color:var(--pass);background:var(--pass-bg)}
.fail{color:var(--fail);background:var(--fail-bg)}
.live{color:var(--accent);background:#e4eefa}
.silent{color:var(--warn);background:var(--warn-bg)}
.muted{color:var(--muted)}
dl.fields{display:grid;grid-template-columns:max-content minmax(0,1fr);gap:4px 18px;margin:0 0 8px}
dl.fields dt{color:var(--muted)}
dl.fields dd{margin:0;overflow-wrap:anywhere}
form.filters{display:flex;flex-wrap:wrap;gap:10px 14px;align-items:flex-end;background:var(--band);
padding:12px 14px;border-radius:6px;margin-bottom:14px}
form.filters label{display:flex;flex-direction:column;font-size:12px;color:var(--muted)}
form.filters input,form.filters select{font:inherit;padding:4px 6px;border:1px solid #b9c4d0;
border-radius:4px;min-width:9em}
form.filters button{font:inherit;padding:5px 16px;border:0;border-radius:4px;background:var(--accent);
color:#fff;cursor:pointer}
.pager{display:flex;gap:14px;align-items:center;margin:10px 0}
.downloads a{margin-right:16px}
pre.log{background:#fbfbfc;border:1px solid var(--line);padding:10px;overflow:auto;max-height:420px;
font-size:13px;white-space:pre}
.charts{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(520px,100%),1fr));gap:12px}
.charts figure{margin:0;border:1px solid var(--line);border-radius:6px;padding:6px;background:#fff}
.charts svg{width:100%;height:auto;display:block}
.bar{display:inline-block;height:10px;background:#c94a3f;border-radius:2px;vertical-align:middle}
.problem{border-left:4px solid var(--fail);background:var(--fail-bg);padding:12px 16px;border-radius:4px}
figure.trend{margin:0 0 8px;border:1px solid var(--line);border-radius:6px;padding:6px;max-width:980px}
figure.trend svg{width:100%;height:auto;display:block}
figure.trend circle:hover{stroke:#14283d;stroke-width:3}
figcaption{font-size:13px;color:var(--muted)}
footer{color:var(--muted);font-size:12px;padding:12px 24px;border-top:1px solid var(--line)}
@media (max-width:600px){header{padding:0 12px;column-gap:12px}nav a{padding:10px 8px}
main{padding:14px 12px 24px}footer{padding:12px}form.filters input,form.filters select{min-width:0}
th,td{padding:5px 8px;white-space:nowrap}.reload{float:none;margin:0 0 4px}
figure.trend,.charts figure{overflow-x:auto}figure.trend svg,.charts svg{min-width:560px}}
)css";

QString navLink(const char *href, const char *text, bool here)
{
    return QStringLiteral("<a href=\"%1\"%2>%3</a>")
        .arg(QLatin1String(href), here ? QStringLiteral(" class=\"here\"") : QString(),
             QLatin1String(text));
}

// The address with reload=`reload`, or without reload when that is empty; the rest of the query
// as it was.
QString addressWith(const Address &address, const QString &reload)
{
    QMap<QString, QString> params = address.params;
    params.remove(QStringLiteral("reload"));
    if (!reload.isEmpty())
        params.insert(QStringLiteral("reload"), reload);
    QStringList pairs;
    for (auto each = params.cbegin(); each != params.cend(); ++each)
        pairs << QString::fromLatin1(QUrl::toPercentEncoding(each.key())) + u'=' +
                     QString::fromLatin1(QUrl::toPercentEncoding(each.value()));
    const QString path = QString::fromLatin1(QUrl::toPercentEncoding(address.path, "/"));
    return escaped(pairs.isEmpty() ? path : path + u'?' + pairs.join(u'&'));
}

QString reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return QStringLiteral("Bad request");
    case 404:
        return QStringLiteral("Not found");
    case 405:
        return QStringLiteral("Method not allowed");
    case 500:
        return QStringLiteral("Damaged record");
    case 503:
        return QStringLiteral("Records not available");
    default:
        return QStringLiteral("Error");
    }
}

} // namespace

QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        default:
            if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
                break;
            out += c;
        }
    }
    return out;
}

QString urlPart(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

namespace {

QString offsetText(int seconds)
{
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(QLatin1Char(seconds < 0 ? '-' : '+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// Whether the wall-clock time of `utc` comes twice in the local zone: another instant, under the
// offset that holds a day before or after, reads the same.
bool repeated(const QDateTime &utc)
{
    const int offset = utc.toLocalTime().offsetFromUtc();
    for (const int days : {-1, 1}) {
        const int other = utc.addDays(days).toLocalTime().offsetFromUtc();
        if (other != offset && utc.addSecs(offset - other).toLocalTime().offsetFromUtc() == other)
            return true;
    }
    return false;
}

// The local time in that format, with its offset when the time comes twice.
QString shownTime(const QDateTime &utc, const QString &format)
{
    if (!utc.isValid())
        return QStringLiteral("unknown");
    const QDateTime local = utc.toLocalTime();
    QString text = local.toString(format);
    if (repeated(utc))
        text += u' ' + offsetText(local.offsetFromUtc());
    return text;
}

} // namespace

QString localTime(const QDateTime &utc)
{
    return shownTime(utc, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString clockTime(const QDateTime &utc)
{
    return shownTime(utc, QStringLiteral("HH:mm"));
}

QString zoneLine(const QDateTime &utc)
{
    return QStringLiteral("Times in %1 (UTC%2)")
        .arg(escaped(QString::fromUtf8(QTimeZone::systemTimeZoneId())),
             offsetText(utc.toLocalTime().offsetFromUtc()));
}

QString localDate(const QDateTime &utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"))
                         : QStringLiteral("unknown");
}

QString age(const QDateTime &utc, const QDateTime &now)
{
    if (!utc.isValid())
        return QStringLiteral("unknown");
    const qint64 seconds = std::max<qint64>(0, utc.secsTo(now));
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s")
            .arg(seconds / 60)
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min")
        .arg(seconds / 3600)
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString percent(std::optional<double> value)
{
    if (!value)
        return QStringLiteral("-");
    // QString::number ignores the locale: a point whatever the server's language.
    return QString::number(*value, 'f', 1) + u'%';
}

QByteArray page(const QString &title, Section section, const QString &body,
                const Address *reloading, const QString &head)
{
    const bool paused =
        reloading != nullptr && reloading->params.value(QStringLiteral("reload")) == u'0';
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta "
                                  "charset=\"utf-8\">\n<meta name=\"viewport\" "
                                  "content=\"width=device-width, initial-scale=1\">\n");
    if (reloading != nullptr && !paused)
        html +=
            QStringLiteral("<meta http-equiv=\"refresh\" content=\"%1\">\n").arg(kRefreshSeconds);
    html +=
        QStringLiteral("<title>%1 - Velmaro plant</title>\n%3<style>%2</style></head>\n<body>\n")
            .arg(escaped(title), QLatin1String(kStyle), head);
    html += QStringLiteral("<header><div class=\"brand\">Velmaro<small>plant</small></div><nav>") +
            navLink("/", "Now", section == Section::Now) +
            navLink("/runs", "Runs", section == Section::Runs) +
            navLink("/quality", "Quality", section == Section::Quality) +
            QStringLiteral("</nav></header>\n<main>\n");
    if (reloading != nullptr)
        html += paused ? QStringLiteral("<p class=\"reload\">Reload paused &middot; <a "
                                        "id=\"reload\" href=\"%1\">Resume reload</a></p>\n")
                             .arg(addressWith(*reloading, {}))
                       : QStringLiteral("<p class=\"reload\">Reloads every %1 s &middot; <a "
                                        "id=\"reload\" href=\"%2\">Pause reload</a></p>\n")
                             .arg(kRefreshSeconds)
                             .arg(addressWith(*reloading, QStringLiteral("0")));
    // Each table in a box of its own that scrolls sideways, so that the page does not. Only
    // markup has a '<': text on the page is escaped.
    QString boxed = body;
    boxed.replace(QLatin1String("<table"), QLatin1String("<div class=\"scroll\"><table"))
        .replace(QLatin1String("</table>"), QLatin1String("</table></div>"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    html += QStringLiteral("<h1>%1</h1>\n").arg(escaped(title)) + boxed +
            QStringLiteral("\n</main>\n<footer><span id=\"zone\">%1.</span> Shown %2. Read-only "
                           "view of the running-in records.</footer>\n</body></html>\n")
                .arg(zoneLine(now), localTime(now));
    return html.toUtf8();
}

Reply problem(int status, const QString &what, const Address *here)
{
    Reply reply;
    reply.status = status;
    reply.said = what;
    const QString body =
        QStringLiteral("<p class=\"problem\">%1</p>\n%2")
            .arg(escaped(what), status == 503 ? QStringLiteral("<p class=\"muted\">This page "
                                                               "tries again by itself every 30 "
                                                               "s.</p>")
                                              : QStringLiteral("<p><a href=\"/\">Back to the "
                                                               "plant</a></p>"));
    // A fault that passes by itself is worth reloading; a wrong address is not.
    static const Address nowhere; // reloads where it is; paused, at its path alone
    reply.body =
        page(QStringLiteral("%1 %2").arg(status).arg(reasonPhrase(status)), Section::None, body,
             status != 503     ? nullptr
             : here != nullptr ? here
                               : &nowhere);
    return reply;
}

QString caption(const QString &text)
{
    return QStringLiteral("<caption>%1</caption>").arg(text);
}

QString stationAddress(const QString &station)
{
    // As for serials: browsers drop "." and ".." from a path, so those (and none) go in the query.
    const bool query =
        station.isEmpty() || station == QLatin1String(".") || station == QLatin1String("..");
    return (query ? QStringLiteral("/stations?station=") : QStringLiteral("/stations/")) +
           urlPart(station);
}

QString stationLink(const QString &station)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(stationAddress(station), escaped(station));
}

QString verdictBadge(bool pass)
{
    return pass ? QStringLiteral("<span class=\"badge pass\">&#10003; pass</span>")
                : QStringLiteral("<span class=\"badge fail\">&#10007; fail</span>");
}

} // namespace plant
