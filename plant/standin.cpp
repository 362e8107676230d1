// Stand-ins for the quality figures and their exports, until the quality library is in the tree.
#include "records.h"

#include "quality/export.h"
#include "quality/quality.h"
#include "runs/runqueries.h"

#include <QJsonArray>

#include <map>
#include <set>

namespace quality {

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString isoTime(const QDateTime &utc)
{
    return utc.isValid() ? utc.toUTC().toString(Qt::ISODateWithMs) : QString();
}

} // namespace

QString week(const QDateTime &utc);
QString week(const QDateTime &utc)
{
    int year = 0;
    const int number = utc.toLocalTime().date().weekNumber(&year);
    return QStringLiteral("%1-W%2").arg(year).arg(number, 2, 10, QLatin1Char('0'));
}

namespace {

std::optional<double> share(int part, int whole)
{
    if (whole == 0)
        return std::nullopt;
    return 100.0 * part / whole;
}

} // namespace

std::optional<double> Cell::firstPassYield() const
{
    return share(firstPass, newLenses);
}

std::optional<double> Cell::finalYield() const
{
    return share(finalPass, newLenses);
}

base::Result<Quality> compute(runs::RunDatabase &records, const runs::RunFilter &filter)
{
    auto all = plant::runsOf(records, filter);
    if (!all)
        return base::fail(all.error());
    Quality result;
    result.filter = filter;
    std::map<std::pair<QString, QString>, Cell> cells;
    std::map<QString, std::pair<std::pair<QString, QString>, std::pair<bool, bool>>> lenses;
    std::map<std::pair<int, QString>, AxisTestFailures> axisTests;
    std::map<QString, EndingFailures> endings;
    for (const runs::RunRecord &run : *all) {
        const auto key = std::make_pair(week(run.start), run.station);
        Cell &cell = cells[key];
        ++cell.runs;
        const bool pass = plant::passed(run);
        cell.passed += int(pass);
        if (run.serial.isEmpty())
            ++cell.withoutSerial;
        else if (auto it = lenses.find(run.serial); it == lenses.end())
            lenses[run.serial] = {key, {pass, pass}};
        else
            it->second.second.second = pass;
        EndingFailures &ending = endings[runs::endingText(run.ending)];
        ++ending.runs;
        ending.failed += int(!pass);
        for (int axis = 0; axis < runs::kAxisCount; ++axis) {
            const int errors = run.axes.at(std::size_t(axis)).errors;
            if (errors == 0)
                continue;
            AxisTestFailures &failures = axisTests[{axis, run.tests}];
            ++failures.failedRuns;
            failures.errors += errors;
        }
    }
    for (const auto &[serial, where] : lenses) {
        Cell &cell = cells[where.first];
        ++cell.newLenses;
        cell.firstPass += int(where.second.first);
        cell.finalPass += int(where.second.second);
    }
    for (auto &[key, cell] : cells) {
        cell.week = key.first;
        cell.station = key.second;
        result.total.runs += cell.runs;
        result.total.passed += cell.passed;
        result.total.withoutSerial += cell.withoutSerial;
        result.total.newLenses += cell.newLenses;
        result.total.firstPass += cell.firstPass;
        result.total.finalPass += cell.finalPass;
        result.cells.push_back(cell);
    }
    result.total.lenses = static_cast<int>(lenses.size());
    int failedRuns = 0;
    for (auto &[key, failures] : axisTests) {
        failures.axis = runs::axisName(key.first);
        failures.tests = key.second;
        failedRuns += failures.failedRuns;
        result.byAxisAndTest.push_back(failures);
    }
    std::stable_sort(result.byAxisAndTest.begin(), result.byAxisAndTest.end(),
                     [](const auto &a, const auto &b) { return a.failedRuns > b.failedRuns; });
    double cumulative = 0;
    for (AxisTestFailures &each : result.byAxisAndTest) {
        each.share = share(each.failedRuns, failedRuns).value_or(0);
        each.cumulative = cumulative += each.share;
    }
    int failed = 0;
    for (auto &[text, ending] : endings) {
        ending.ending = text;
        failed += ending.failed;
        result.byEnding.push_back(ending);
    }
    std::stable_sort(result.byEnding.begin(), result.byEnding.end(),
                     [](const auto &a, const auto &b) { return a.failed > b.failed; });
    cumulative = 0;
    for (EndingFailures &each : result.byEnding) {
        each.share = share(each.failed, failed).value_or(0);
        each.cumulative = cumulative += each.share;
    }
    return result;
}

QByteArray runsCsv(const std::vector<runs::RunRecord> &list)
{
    QStringList lines{QStringLiteral("id,station,operator,serial,started,ended,tests,cycles,"
                                     "ending,errors,verdict")};
    for (const runs::RunRecord &run : list)
        lines << QStringList{run.id,
                             csvField(run.station),
                             csvField(run.operatorName),
                             csvField(run.serial),
                             isoTime(run.start),
                             isoTime(run.end),
                             csvField(run.tests),
                             QString::number(run.cycles),
                             csvField(runs::endingText(run.ending)),
                             QString::number(run.errorCount()),
                             plant::passed(run) ? QStringLiteral("pass") : QStringLiteral("fail")}
                     .join(u',');
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QJsonObject runJson(const runs::RunRecord &run)
{
    return {{"id", run.id},
            {"station", run.station},
            {"operator", run.operatorName},
            {"serial", run.serial},
            {"started", isoTime(run.start)},
            {"ended", isoTime(run.end)},
            {"tests", run.tests},
            {"cycles", run.cycles},
            {"ending", runs::endingText(run.ending)},
            {"errors", run.errorCount()},
            {"verdict", plant::passed(run) ? "pass" : "fail"}};
}

QByteArray qualityCsv(const Quality &figures)
{
    QStringList lines{QStringLiteral("week,station,runs,runs_without_serial,passed,lenses,"
                                     "first_pass,final_pass")};
    for (const Cell &cell : figures.cells)
        lines << QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8")
                     .arg(cell.week, csvField(cell.station))
                     .arg(cell.runs)
                     .arg(cell.withoutSerial)
                     .arg(cell.passed)
                     .arg(cell.newLenses)
                     .arg(cell.firstPass)
                     .arg(cell.finalPass);
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QJsonDocument qualityJson(const Quality &figures)
{
    QJsonArray cells;
    for (const Cell &cell : figures.cells)
        cells.append(QJsonObject{{"week", cell.week},
                                 {"station", cell.station},
                                 {"runs", cell.runs},
                                 {"runs_without_serial", cell.withoutSerial},
                                 {"passed", cell.passed},
                                 {"lenses", cell.newLenses},
                                 {"first_pass", cell.firstPass},
                                 {"final_pass", cell.finalPass}});
    return QJsonDocument(QJsonObject{{"cells", cells}});
}

} // namespace quality

namespace runs {

QString isoWeek(const QDateTime &start)
{
    return quality::week(start);
}

} // namespace runs
