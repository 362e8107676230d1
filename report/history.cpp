#include "history.h"

#include "commandline.h"

#include "runin/verdict.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace report {

namespace {
QString percent(int part, int whole)
{
    return whole == 0 ? QStringLiteral("-")
                      : QStringLiteral("%1%").arg(100.0 * part / whole, 0, 'f', 1);
}

// Both forms are drawn from these rows.
struct Tables
{
    std::vector<QStringList> days, weeks;
};

Tables tablesOf(const History &history)
{
    Tables tables;
    for (const auto &[key, count] : history.days)
        tables.days.push_back({key.first, key.second, QString::number(count.runs),
                               QString::number(count.passed),
                               QString::number(count.runs - count.passed)});
    for (const auto &[week, yield] : history.weeks)
        tables.weeks.push_back({week, QString::number(yield.serials),
                                QString::number(yield.firstPass),
                                percent(yield.firstPass, yield.serials)});
    return tables;
}

QStringList dayHead()
{
    QString passed = runin::verdictText(0);
    passed[0] = passed[0].toUpper();
    return {QStringLiteral("Day"), QStringLiteral("Station"), QStringLiteral("Runs"), passed,
            QStringLiteral("Errors ") + runin::aboveThresholdText()};
}
const QStringList kWeekHead{"Week", "Serials", "First pass", "Yield"};
} // namespace

History historyOf(const std::vector<runs::RunRecord> &records,
                  const std::vector<quality::Cell> &weeks)
{
    History history;
    for (const runs::RunRecord &run : records) {
        ++history.runs;
        const QString day = run.start.isValid()
                                ? run.start.toLocalTime().date().toString(Qt::ISODate)
                                : QStringLiteral("unknown");
        DayCount &count = history.days[{day, run.station}];
        ++count.runs;
        count.passed += runin::passes(run.errorCount()) ? 1 : 0;
        history.withoutSerial += run.serial.isEmpty() ? 1 : 0;
    }
    for (const quality::Cell &week : weeks)
        if (week.newLenses > 0)
            history.weeks[week.week] = {week.newLenses, week.firstPass};
    return history;
}

QString historyText(const History &history, const QString &source)
{
    const Tables tables = tablesOf(history);
    QString text = QStringLiteral("%1 run(s) in %2\n\nRuns per day and station\n")
                       .arg(history.runs)
                       .arg(source);
    const QStringList head = dayHead();
    text += QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg(head[0].leftJustified(10), head[1].leftJustified(16), head[2].rightJustified(5),
                     head[3].rightJustified(17), head[4].rightJustified(15));
    for (const QStringList &row : tables.days)
        text += QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(row[0].leftJustified(10), row[1].leftJustified(16), row[2].rightJustified(5),
                         row[3].rightJustified(17), row[4].rightJustified(15));
    text += QStringLiteral("\nFirst-pass yield per week (a serial's first run has %1; %2 run(s) "
                           "without a serial are not counted)\n")
                .arg(runin::verdictText(0))
                .arg(history.withoutSerial);
    text += QStringLiteral("%1  %2  %3  %4\n")
                .arg(kWeekHead[0], -8)
                .arg(kWeekHead[1], 7)
                .arg(kWeekHead[2], 10)
                .arg(kWeekHead[3], 6);
    for (const QStringList &row : tables.weeks)
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(row[0], -8)
                    .arg(row[1], 7)
                    .arg(row[2], 10)
                    .arg(row[3], 6);
    return text;
}

int writeHistoryPdf(const History &history, const QString &source, const QString &output,
                    std::FILE *out, std::FILE *err)
{
    const Tables tables = tablesOf(history);
    const auto table = [](const QStringList &head, const std::vector<QStringList> &rows) {
        QString html = QStringLiteral("<table border=1 cellspacing=0 cellpadding=3><tr>");
        for (const QString &cell : head)
            html += QStringLiteral("<th>%1</th>").arg(cell.toHtmlEscaped());
        html += QStringLiteral("</tr>");
        for (const QStringList &row : rows) {
            html += QStringLiteral("<tr>");
            for (const QString &cell : row)
                html += QStringLiteral("<td>%1</td>").arg(cell.toHtmlEscaped());
            html += QStringLiteral("</tr>");
        }
        return html + QStringLiteral("</table>");
    };
    QTextDocument document;
    document.setHtml(
        QStringLiteral(
            "<h1>Running-in history</h1><p>%1 run(s) in %2</p>"
            "<h2>Runs per day and station</h2>%3"
            "<h2>First-pass yield per week</h2><p>A serial's first run has %4; %5 run(s) "
            "without a serial are not counted.</p>%6")
            .arg(QString::number(history.runs), source.toHtmlEscaped(),
                 table(dayHead(), tables.days), runin::verdictText(0),
                 QString::number(history.withoutSerial), table(kWeekHead, tables.weeks)));
    QSaveFile file(output);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        QPdfWriter writer(&file);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        document.print(&writer);
    }
    if (!written || !file.commit()) {
        std::fputs(QStringLiteral("velmaro-report: cannot write the report \"%1\": %2\n")
                       .arg(output, file.errorString())
                       .toLocal8Bit()
                       .constData(),
                   err);
        return kCannotWrite;
    }
    std::fputs(QStringLiteral("Report written to %1\n").arg(output).toLocal8Bit().constData(), out);
    return kDone;
}

} // namespace report
