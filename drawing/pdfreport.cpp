#include "pdfreport.h"

#include "charts.h"

#include "runin/verdict.h"
#include "runlog/summary.h"

#include <QChart>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace drawing {

using runlog::Axis;
using runlog::AxisErrors;
using runlog::axisTitle;
using runlog::compareErrorLogs;
using runlog::durationText;
using runlog::ErrorsCheck;
using runlog::kAxes;
using runlog::kAxisCount;
using runlog::kTests;
using runlog::LogMoment;
using runlog::summarise;
using runlog::Summary;
using runlog::TestName;
using runlog::testTitle;
using runlog::Unreadable;

namespace {

// Everything is laid out in pixels of 96 per inch and scaled to the writer's resolution.
constexpr double kLayoutDpi = 96.0;
constexpr int kMaxListed = 2000;
const QString kGreen = QStringLiteral("#1b7f2a");
const QString kRed = QStringLiteral("#c0171f");

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString styleSheet()
{
    return QStringLiteral(
        "h1 { font-size: 16pt; } h2 { font-size: 12pt; margin-top: 14px; }"
        "td, th { padding: 2px 8px; } th { background-color: #e8e8e8; text-align: left; }"
        ".num { text-align: right; } .small { font-size: 8pt; color: #444444; }");
}

QString momentLine(const char *label, const std::optional<LogMoment> &moment)
{
    QString value = QStringLiteral("none");
    if (moment)
        value = moment->moment ? escaped(moment->text)
                               : QStringLiteral("unknown (\"%1\" does not read as a date and time "
                                                "on this computer)")
                                     .arg(escaped(moment->text));
    return QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(QLatin1String(label), value);
}

QString movesTable(const Summary &summary)
{
    QString html = QStringLiteral("<table cellspacing=0 border=1><tr><th>Moves</th>");
    for (const Axis axis : kAxes)
        html += QStringLiteral("<th class=num>%1</th>").arg(axisTitle(axis));
    html += QStringLiteral("</tr>");
    std::array<int, kAxisCount> totals{};
    for (const TestName test : kTests) {
        html += QStringLiteral("<tr><td>%1</td>").arg(testTitle(test));
        for (const Axis axis : kAxes) {
            const int moves =
                summary.moves.at(static_cast<std::size_t>(axis)).at(static_cast<std::size_t>(test));
            totals.at(static_cast<std::size_t>(axis)) += moves;
            html += QStringLiteral("<td class=num>%1</td>").arg(moves);
        }
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("<tr><td><b>All tests</b></td>");
    for (const int total : totals)
        html += QStringLiteral("<td class=num><b>%1</b></td>").arg(total);
    return html + QStringLiteral("</tr></table>");
}

QString errorsTable(const Summary &summary)
{
    QString html = QStringLiteral("<table cellspacing=0 border=1><tr><th>Axis</th>"
                                  "<th class=num>Errors %1</th><th class=num>Largest</th>"
                                  "<th>Verdict</th></tr>")
                       .arg(runin::aboveThresholdText());
    for (const Axis axis : kAxes) {
        const AxisErrors &errors = summary.errors.at(static_cast<std::size_t>(axis));
        const QString verdict =
            QStringLiteral("<span style=\"color:%1\"><b>%2</b></span>")
                .arg(runin::passes(errors.count) ? kGreen : kRed, runin::verdictText(errors.count));
        html += QStringLiteral("<tr><td>%1</td><td class=num>%2</td><td class=num>%3</td>"
                               "<td>%4</td></tr>")
                    .arg(axisTitle(axis))
                    .arg(errors.count)
                    .arg(errors.largest ? QString::number(*errors.largest) : QStringLiteral("-"))
                    .arg(verdict);
    }
    return html + QStringLiteral("</table>");
}

QString linesText(const std::vector<int> &lines)
{
    QStringList numbers;
    for (const int line : lines)
        numbers << QString::number(line);
    return numbers.join(QStringLiteral(", "));
}

QString errorsLogCheck(const ReportInput &input)
{
    if (!input.errors)
        return {};
    const ErrorsCheck check = compareErrorLogs(input.complete, *input.errors);
    const QString name = escaped(input.errors->file);
    QString html = QStringLiteral("<p>%1: %2 error line(s)").arg(name).arg(check.errorLines);
    if (check.onlyInErrors.empty() && check.onlyInComplete.empty() && check.notErrorLines.empty())
        return html + QStringLiteral(", <span style=\"color:%1\">the same as in the complete "
                                     "log</span>.</p>")
                          .arg(kGreen);
    html += QStringLiteral(", <span style=\"color:%1\">not the same as in the complete log</span>:")
                .arg(kRed);
    if (!check.onlyInErrors.empty())
        html +=
            QStringLiteral("<br>only in %1: line(s) %2").arg(name, linesText(check.onlyInErrors));
    if (!check.onlyInComplete.empty())
        html += QStringLiteral("<br>only in the complete log: line(s) %1")
                    .arg(linesText(check.onlyInComplete));
    if (!check.notErrorLines.empty())
        html += QStringLiteral("<br>not error lines, in %1: line(s) %2")
                    .arg(name, linesText(check.notErrorLines));
    return html + QStringLiteral("</p>");
}

std::vector<Unreadable> allUnreadable(const ReportInput &input)
{
    std::vector<Unreadable> all = input.complete.unreadable;
    if (input.errors)
        all.insert(all.end(), input.errors->unreadable.begin(), input.errors->unreadable.end());
    if (input.cam)
        all.insert(all.end(), input.cam->unreadable.begin(), input.cam->unreadable.end());
    return all;
}

// "2 in Log Errors.txt, 1 in Camma.txt": what the other files hold that does not read.
QString unreadableElsewhere(const ReportInput &input)
{
    QStringList parts;
    if (input.errors && !input.errors->unreadable.empty())
        parts << QStringLiteral("%1 in %2")
                     .arg(input.errors->unreadable.size())
                     .arg(escaped(input.errors->file));
    if (input.cam && !input.cam->unreadable.empty())
        parts << QStringLiteral("%1 in %2")
                     .arg(input.cam->unreadable.size())
                     .arg(escaped(input.cam->file));
    return parts.join(QStringLiteral(", "));
}

QString firstPage(const ReportInput &input)
{
    const Summary summary = summarise(input.complete);
    QString html = QStringLiteral("<h1>Running-in report</h1><p>%1</p><table cellspacing=0>")
                       .arg(escaped(input.complete.file));
    for (const auto &[name, value] : input.about)
        html +=
            QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(escaped(name), escaped(value));
    html += momentLine("First line", summary.first);
    html += momentLine("Last line", summary.last);
    html += QStringLiteral("<tr><td>Duration</td><td>%1</td></tr>")
                .arg(summary.durationMs ? durationText(*summary.durationMs)
                                        : QStringLiteral("unknown"));
    const QString elsewhere = unreadableElsewhere(input);
    const bool listed = summary.unreadable > 0 || !elsewhere.isEmpty();
    html += QStringLiteral("<tr><td>Lines</td><td>%1 read, %2 unreadable%3</td></tr>")
                .arg(summary.entries)
                .arg(summary.unreadable)
                .arg(listed ? QStringLiteral(" (listed on the last page)") : QString());
    if (!elsewhere.isEmpty())
        html += QStringLiteral("<tr><td>Unreadable elsewhere</td><td>%1</td></tr>").arg(elsewhere);
    html += QStringLiteral("<tr><td>Completed full-stroke cycles</td><td>%1</td></tr></table>")
                .arg(summary.completedCycles);
    html += QStringLiteral("<h2>Moves per axis and test</h2>") + movesTable(summary);
    html += QStringLiteral("<h2>Position errors</h2>") + errorsTable(summary);
    html += errorsLogCheck(input);
    return html;
}

QString unreadableList(const std::vector<Unreadable> &lines)
{
    // The head row stands again at the top of every page the list runs on to.
    QString html = QStringLiteral("<h2>Lines that could not be read</h2>"
                                  "<table width=\"100%\" cellspacing=0 border=1><thead><tr>"
                                  "<th>File</th><th class=num>Line</th><th>Why</th><th>Text</th>"
                                  "</tr></thead>");
    const auto listed = std::min<std::size_t>(lines.size(), kMaxListed);
    for (std::size_t i = 0; i < listed; ++i) {
        const Unreadable &line = lines.at(i);
        html += QStringLiteral("<tr><td>%1</td><td class=num>%2</td><td>%3</td>"
                               "<td class=small>%4</td></tr>")
                    .arg(escaped(line.file), QString::number(line.line), escaped(line.why),
                         escaped(line.text.left(120)));
    }
    html += QStringLiteral("</table>");
    if (lines.size() > listed)
        html += QStringLiteral("<p>and %1 more lines that could not be read.</p>")
                    .arg(lines.size() - listed);
    return html;
}

QString camJumpList(const camtable::CamTable &table)
{
    const std::vector<camtable::CamJump> jumps = camtable::camJumps(table.points);
    if (jumps.empty())
        return QStringLiteral("<p>No row steps more than three times the median step from the "
                              "row before it.</p>");
    QString html = QStringLiteral(
        "<p>Rows whose step from the previous recorded row is more than three times the median "
        "step (likely mis-recordings):</p><table cellspacing=0 border=1><tr><th>Row</th>"
        "<th class=num>Focal length</th><th>Axis</th><th class=num>Step per row</th>"
        "<th class=num>Median step</th></tr>");
    for (const camtable::CamJump &jump : jumps)
        html += QStringLiteral("<tr><td class=num>%1</td><td class=num>%2 mm</td><td>Zoom %3</td>"
                               "<td class=num>%4</td><td class=num>%5</td></tr>")
                    .arg(jump.row)
                    .arg(jump.focalLength)
                    .arg(jump.zoom)
                    .arg(jump.step, 0, 'f', 1)
                    .arg(jump.medianStep, 0, 'f', 1);
    return html + QStringLiteral("</table>");
}

class Pages
{
public:
    explicit Pages(QPdfWriter &writer) : m_writer(writer), m_painter(&writer)
    {
        const double scale = writer.resolution() / kLayoutDpi;
        m_painter.scale(scale, scale);
        m_size = QSizeF(writer.width() / scale, writer.height() / scale);
    }

    [[nodiscard]] bool ok() const { return m_painter.isActive(); }
    [[nodiscard]] QSizeF size() const { return m_size; }

    void next()
    {
        if (m_fresh) {
            m_fresh = false;
            return;
        }
        m_writer.newPage();
    }

    // Lays out the HTML across as many pages as it takes, starting on a new one; gives the height
    // used on the last page.
    double html(const QString &html)
    {
        QTextDocument document;
        prepare(document, html, m_size);
        const int count = document.pageCount();
        for (int page = 0; page < count; ++page) {
            next();
            m_painter.save();
            m_painter.translate(0, -page * m_size.height());
            document.drawContents(
                &m_painter, QRectF(0, page * m_size.height(), m_size.width(), m_size.height()));
            m_painter.restore();
        }
        return document.size().height() - (count - 1) * m_size.height();
    }

    // Lays the HTML out below `top` on this page when it fits there, else from a new page on.
    void htmlBelow(const QString &html, double top)
    {
        QTextDocument document;
        prepare(document, html, QSizeF(m_size.width(), m_size.height() - top));
        if (document.pageCount() > 1) {
            this->html(html);
            return;
        }
        m_painter.save();
        m_painter.translate(0, top);
        document.drawContents(&m_painter);
        m_painter.restore();
    }

    void chart(std::unique_ptr<QChart> chart, const QRectF &target)
    {
        drawChart(m_painter, std::move(chart), target);
    }

    void text(const QRectF &target, const QString &text)
    {
        m_painter.drawText(target, Qt::AlignLeft | Qt::TextWordWrap, text);
    }

    bool end() { return m_painter.end(); }

private:
    static void prepare(QTextDocument &document, const QString &html, const QSizeF &size)
    {
        document.setDefaultStyleSheet(styleSheet());
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(9.5);
        document.setDefaultFont(font);
        document.setHtml(html);
        document.setPageSize(size);
    }

    QPdfWriter &m_writer;
    QPainter m_painter;
    QSizeF m_size;
    bool m_fresh = true;
};

// Draws every page; false when the writer could not paint or finish the PDF.
bool drawPdf(const ReportInput &input, QIODevice &out)
{
    QPdfWriter writer(&out);
    writer.setTitle(QStringLiteral("Running-in report: ") + input.complete.file);
    writer.setCreator(QStringLiteral("velmaro-report"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    Pages pages(writer);
    if (!pages.ok())
        return false;
    pages.html(firstPage(input));

    // One chart per axis, the four on one page.
    pages.next();
    const QSizeF page = pages.size();
    const double height = page.height() / kAxisCount;
    for (std::size_t i = 0; i < kAxes.size(); ++i)
        pages.chart(positionChart(input.complete, kAxes.at(i)),
                    QRectF(0, static_cast<double>(i) * height, page.width(), height - 8));

    pages.next();
    QString note;
    const double errorHeight = page.height() * 0.45;
    pages.chart(errorChart(input.complete, note), QRectF(0, 0, page.width(), errorHeight));
    if (!note.isEmpty())
        pages.text(QRectF(0, errorHeight + 4, page.width(), 40), note);

    if (input.cam) {
        pages.next();
        const double camHeight = page.height() * 0.45;
        pages.chart(camChart(*input.cam), QRectF(0, 0, page.width(), camHeight));
        pages.htmlBelow(QStringLiteral("<h2>Cam table %1</h2>").arg(escaped(input.cam->file)) +
                            camJumpList(*input.cam),
                        camHeight + 8);
    }
    if (const std::vector<Unreadable> unreadable = allUnreadable(input); !unreadable.empty())
        pages.html(unreadableList(unreadable));
    return pages.end();
}

} // namespace

base::Status writePdf(const ReportInput &input, QIODevice &out)
{
    // The reason is the device's own, read once the writer has let go of it.
    if (!drawPdf(input, out))
        return base::fail(base::FailureKind::Internal, out.errorString().toStdString());
    return {};
}

} // namespace drawing
