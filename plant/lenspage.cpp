#include "pages.h"
#include "records.h"

#include "runin/verdict.h"

#include "runs/progress.h"
#include "runs/rundatabase.h"

namespace plant {

namespace {

QString result(const char *which, const runs::RunRecord &run)
{
    return QStringLiteral("<dt>%1</dt><dd>%2 %3, %4 at %5 (%6)</dd>")
        .arg(QLatin1String(which), verdictBadge(passed(run)),
             escaped(runin::verdictText(run.errorCount())), localTime(run.start),
             escaped(run.station), runLink(run.id, run.id.left(8)));
}

} // namespace

Reply lensPage(runs::RunDatabase &records, const Request &, const QString &serial)
{
    runs::RunFilter filter;
    filter.serial = serial;
    auto found = records.list(filter);
    if (!found)
        return unavailable(found.error());
    QString body;
    if (found->empty()) {
        body = QStringLiteral("<p class=\"muted\">No run of the lens %1 is stored.</p>")
                   .arg(escaped(serial));
    } else {
        body = QStringLiteral("<dl class=\"fields\" id=\"lens-results\">") +
               result("First run", found->front()) + result("Latest run", found->back()) +
               QStringLiteral("<dt>Runs</dt><dd>%1</dd></dl>\n").arg(found->size());
        body += QStringLiteral("<h2>Every run, oldest first</h2>\n") + runsTable(*found);
    }
    body += QStringLiteral("<h2>Cam tables</h2>\n<p class=\"muted\">No cam table of this lens is "
                           "kept.</p>\n");
    Reply reply;
    reply.body = page(QStringLiteral("Lens %1").arg(serial), Section::None, body);
    return reply;
}

} // namespace plant
