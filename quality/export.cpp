#include "export.h"

#include "filter.h"

#include "runin/loglines.h"
#include "runin/verdict.h"
#include "runs/schema.h"

#include <QJsonArray>

#include <cmath>

namespace quality {

QString isoTime(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

namespace {

// The axes' names as the records' columns have them.
constexpr const auto &kAxisKeys = runs::schema::kAxisColumns;

const QStringList kRunFields{"id",    "station", "operator", "version", "port",   "start",  "end",
                             "tests", "cycles",  "ending",   "serial",  "errors", "verdict"};
const QStringList kCellFields{
    "week",       "station",    "runs",       "runs_without_serial", "passed_runs",
    "lenses",     "new_lenses", "first_pass", "first_pass_yield",    "final_pass",
    "final_yield"};

// A percent to a tenth, or nothing.
QJsonValue rounded(std::optional<double> value)
{
    if (!value)
        return QJsonValue::Null;
    return std::round(*value * 10) / 10;
}

// One CSV field: quoted when it holds a separator, a quote or a line end (RFC 4180). Text that a
// spreadsheet would take for a formula gets an apostrophe in front, which it shows as text.
QByteArray csvField(const QJsonValue &value)
{
    QByteArray text;
    if (value.isDouble()) {
        const double number = value.toDouble();
        // Whole numbers without a fraction; the rest with a point, never the locale's comma.
        text = number == std::floor(number) && std::abs(number) < 1e15
                   ? QByteArray::number(static_cast<qint64>(number))
                   : QByteArray::number(number, 'g', 12);
    } else if (!value.isNull()) {
        text = value.toString().toUtf8();
        if (!text.isEmpty() && QByteArrayView("=+-@\t\r").contains(text.front()))
            text.prepend('\'');
    }
    if (text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r'))
        text = '"' + text.replace('"', "\"\"") + '"';
    return text;
}

QByteArray csvLine(const QStringList &fields, const QJsonObject &object)
{
    QByteArrayList line;
    for (const QString &field : fields)
        line << csvField(object.value(field));
    return line.join(',') + "\r\n";
}

QByteArray csvHead(const QStringList &fields)
{
    return fields.join(u',').toUtf8() + "\r\n";
}

QStringList runFields()
{
    QStringList fields = kRunFields;
    for (const char *axis : kAxisKeys)
        for (const char *figure : {"_moves", "_errors", "_largest"})
            fields << QLatin1String(axis) + QLatin1String(figure);
    return fields;
}

QJsonObject cellJson(const Cell &cell)
{
    return {{"week", cell.week},
            {"station", cell.station},
            {"runs", cell.runs},
            {"runs_without_serial", cell.withoutSerial},
            {"passed_runs", cell.passed},
            {"lenses", cell.lenses},
            {"new_lenses", cell.newLenses},
            {"first_pass", cell.firstPass},
            {"first_pass_yield", rounded(cell.firstPassYield())},
            {"final_pass", cell.finalPass},
            {"final_yield", rounded(cell.finalYield())}};
}

QString percentText(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 1) + u'%' : QStringLiteral("-");
}

} // namespace

QJsonObject runJson(const runs::RunRecord &record)
{
    const int errors = record.errorCount();
    QJsonObject object{{"id", record.id},
                       {"station", record.station},
                       {"operator", record.operatorName},
                       {"version", record.version},
                       {"port", record.port},
                       {"start", isoTime(record.start)},
                       {"end", isoTime(record.end)},
                       {"tests", record.tests},
                       {"cycles", record.cycles},
                       {"ending", runs::endingText(record.ending)},
                       {"serial", record.serial},
                       {"errors", errors},
                       {"verdict", runin::passes(errors) ? "pass" : "fail"}};
    for (std::size_t axis = 0; axis < kAxisKeys.size(); ++axis) {
        const runs::AxisFigures &figures = record.axes.at(axis);
        const QString key = QLatin1String(kAxisKeys.at(axis));
        object.insert(key + QStringLiteral("_moves"), figures.moves);
        object.insert(key + QStringLiteral("_errors"), figures.errors);
        object.insert(key + QStringLiteral("_largest"),
                      figures.largest ? QJsonValue(*figures.largest) : QJsonValue());
    }
    return object;
}

QByteArray runsCsv(const std::vector<runs::RunRecord> &records)
{
    const QStringList fields = runFields();
    QByteArray csv = csvHead(fields);
    for (const runs::RunRecord &record : records)
        csv += csvLine(fields, runJson(record));
    return csv;
}

QByteArray qualityCsv(const Quality &quality)
{
    QByteArray csv = csvHead(kCellFields);
    for (const Cell &cell : quality.cells)
        csv += csvLine(kCellFields, cellJson(cell));
    QJsonObject total = cellJson(quality.total);
    total.insert(QStringLiteral("week"), QStringLiteral("total"));
    return csv + csvLine(kCellFields, total);
}

QJsonDocument qualityJson(const Quality &quality)
{
    QJsonObject filter;
    for (const auto &[key, value] : filterPairs(quality.filter))
        filter.insert(key, value);
    QJsonArray cells;
    for (const Cell &cell : quality.cells)
        cells.append(cellJson(cell));
    QJsonArray byAxisAndTest;
    for (const AxisTestFailures &row : quality.byAxisAndTest)
        byAxisAndTest.append(QJsonObject{{"axis", row.axis},
                                         {"tests", row.tests},
                                         {"failed_runs", row.failedRuns},
                                         {"errors", row.errors},
                                         {"share", rounded(row.share)},
                                         {"cumulative", rounded(row.cumulative)}});
    QJsonArray byEnding;
    for (const EndingFailures &row : quality.byEnding)
        byEnding.append(QJsonObject{{"ending", row.ending},
                                    {"runs", row.runs},
                                    {"failed", row.failed},
                                    {"share", rounded(row.share)},
                                    {"cumulative", rounded(row.cumulative)}});
    return QJsonDocument(QJsonObject{{"filter", filter},
                                     {"cells", cells},
                                     {"total", cellJson(quality.total)},
                                     {"by_axis_and_test", byAxisAndTest},
                                     {"by_ending", byEnding}});
}

namespace {

// Per week and station, then the total.
QString yieldTable(const Quality &quality)
{
    const auto row = [](const QStringList &cells) {
        // One arg() for all: a station named "%1" stays as it is.
        return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
            .arg(cells[0].leftJustified(8), cells[1].leftJustified(16), cells[2].rightJustified(6),
                 cells[3].rightJustified(9), cells[4].rightJustified(6),
                 cells[5].rightJustified(10), cells[6].rightJustified(10),
                 cells[7].rightJustified(11));
    };
    QString text = row({"Week", "Station", "Runs", "No serial", "Lenses", "New lenses",
                        "First pass", "Final yield"});
    const auto cellRow = [&row](const Cell &cell, const QString &week) {
        return row({week, cell.station, QString::number(cell.runs),
                    QString::number(cell.withoutSerial), QString::number(cell.lenses),
                    QString::number(cell.newLenses), percentText(cell.firstPassYield()),
                    percentText(cell.finalYield())});
    };
    for (const Cell &cell : quality.cells)
        text += cellRow(cell, cell.week);
    return text + cellRow(quality.total, QStringLiteral("Total"));
}

QString axisTestTable(const Quality &quality)
{
    QString text =
        QStringLiteral("\nFailures by axis and test (runs with an error above %1 on the axis)\n")
            .arg(runin::kErrorThreshold);
    text += QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                .arg("Axis", -6)
                .arg("Tests", -30)
                .arg("Runs", 6)
                .arg("Errors", 7)
                .arg("Share", 6)
                .arg("Cumulative", 10);
    for (const AxisTestFailures &failures : quality.byAxisAndTest)
        text += QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                    .arg(failures.axis.leftJustified(6), failures.tests.leftJustified(30),
                         QString::number(failures.failedRuns).rightJustified(6),
                         QString::number(failures.errors).rightJustified(7),
                         percentText(failures.share).rightJustified(6),
                         percentText(failures.cumulative).rightJustified(10));
    return text;
}

QString endingTable(const Quality &quality)
{
    QString text = QStringLiteral("\nFailures by how the run ended\n");
    text += QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg("How it ended", -37)
                .arg("Runs", 6)
                .arg("Failed", 6)
                .arg("Share", 6)
                .arg("Cumulative", 10);
    for (const EndingFailures &ending : quality.byEnding)
        text += QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(ending.ending, -37)
                    .arg(ending.runs, 6)
                    .arg(ending.failed, 6)
                    .arg(percentText(ending.share), 6)
                    .arg(percentText(ending.cumulative), 10);
    return text;
}

} // namespace

QString qualityText(const Quality &quality, const QString &source)
{
    const Cell &total = quality.total;
    QString text = QStringLiteral("%1 run(s) of %2 lens(es) in %3\n\n")
                       .arg(total.runs)
                       .arg(total.lenses)
                       .arg(source);
    text += QStringLiteral("Per week and station (a lens counts where its first run was; the "
                           "yields are of those lenses; no error above %1 passes; %2 run(s) "
                           "without a serial count in no yield)\n")
                .arg(runin::kErrorThreshold)
                .arg(total.withoutSerial);
    return text + yieldTable(quality) + axisTestTable(quality) + endingTable(quality);
}

} // namespace quality
