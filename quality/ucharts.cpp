#include "ucharts.h"

#include "export.h"

#include "runin/verdict.h"
#include "runs/rundatabase.h"
#include "runs/runrecord.h"
#include "runs/schema.h"

#include <QJsonArray>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace quality {

namespace {

constexpr int kRule2Length = 8;

QString countColumns()
{
    QString columns = QStringLiteral("id, started, serial, errors, station");
    for (const char *axis : runs::schema::kAxisColumns)
        columns += QStringLiteral(", %1_moves, %1_errors").arg(QLatin1String(axis));
    return columns;
}

// The rows of a query of those columns.
base::Result<std::vector<RunCounts>>
countsOf(runs::RunDatabase &records, const QString &sql,
         const std::vector<std::pair<QString, QVariant>> &marks)
{
    QSqlQuery query(records.connection());
    query.setForwardOnly(true);
    const bool prepared = query.prepare(sql);
    for (const auto &[mark, value] : marks)
        query.bindValue(mark, value);
    if (!prepared || !query.exec())
        return records.failure(QStringLiteral("cannot read the run records"), query);
    std::vector<RunCounts> found;
    while (query.next()) {
        RunCounts run{query.value(0).toString(), runs::timeFromStored(query.value(1).toString()),
                      query.value(2).toString(), query.value(3).toInt(), query.value(4).toString()};
        for (std::size_t axis = 0; axis < run.moves.size(); ++axis) {
            run.moves.at(axis) = query.value(int(5 + 2 * axis)).toInt();
            run.axisErrors.at(axis) = query.value(int(6 + 2 * axis)).toInt();
        }
        found.push_back(std::move(run));
    }
    return found;
}

} // namespace

UChart uChart(const std::vector<RunCounts> &runs, int axis)
{
    UChart chart;
    const auto at = static_cast<std::size_t>(axis);
    long long moves = 0, errors = 0;
    for (const RunCounts &run : runs) {
        if (run.moves.at(at) <= 0)
            continue;
        chart.points.push_back({run.run, run.start, run.moves.at(at), run.axisErrors.at(at)});
        moves += run.moves.at(at);
        errors += run.axisErrors.at(at);
    }
    chart.centre = moves > 0 ? double(errors) / double(moves) : 0;
    int above = 0;
    for (UPoint &point : chart.points) {
        const double spread = 3 * std::sqrt(chart.centre / point.moves);
        point.rate = double(point.errors) / point.moves;
        point.ucl = chart.centre + spread;
        point.lcl = std::max(0.0, chart.centre - spread);
        above = point.rate > chart.centre ? above + 1 : 0;
        if (point.rate > point.ucl)
            chart.flagged.push_back({point.run, 1});
        if (above >= kRule2Length)
            chart.flagged.push_back({point.run, 2});
    }
    return chart;
}

base::Result<std::vector<RunCounts>> latestRunsOf(runs::RunDatabase &records,
                                                  const QString &station, int latest)
{
    auto found = latestRunsOf(records, QStringList{station}, latest);
    if (!found)
        return found.failure();
    return std::move((*found)[station]);
}

base::Result<std::map<QString, std::vector<RunCounts>>>
latestRunsOf(runs::RunDatabase &records, const QStringList &stations, int latest)
{
    // One statement for every station, each along the (station, started) index.
    QStringList arms;
    std::vector<std::pair<QString, QVariant>> marks;
    for (const QString &station : stations) {
        const QString mark = QStringLiteral(":s%1").arg(arms.size());
        arms << QStringLiteral("SELECT * FROM (SELECT %1 FROM runs WHERE station = %2 ORDER BY "
                               "started DESC, id DESC LIMIT %3) s%4")
                    .arg(countColumns(), mark, QString::number(latest),
                         QString::number(arms.size()));
        marks.emplace_back(mark, station);
    }
    std::map<QString, std::vector<RunCounts>> byStation;
    if (arms.isEmpty())
        return byStation;
    auto found = countsOf(records, arms.join(QStringLiteral(" UNION ALL ")), marks);
    if (!found)
        return found.failure();
    for (RunCounts &run : *found)
        byStation[run.station].push_back(std::move(run));
    for (auto &[station, list] : byStation)
        std::sort(list.begin(), list.end(), [](const RunCounts &a, const RunCounts &b) {
            return a.start != b.start ? a.start < b.start : a.run < b.run;
        });
    return byStation;
}

base::Result<std::vector<RunCounts>> latestTwoOfFailedLenses(runs::RunDatabase &records,
                                                             const QDateTime &since)
{
    return countsOf(
        records,
        QStringLiteral("SELECT %1 FROM (SELECT %1, row_number() OVER (PARTITION BY serial ORDER "
                       "BY started DESC, id DESC) AS n FROM runs WHERE serial IN (SELECT serial "
                       "FROM runs WHERE started >= :since AND serial <> '' AND %2)) r WHERE n "
                       "<= 2 ORDER BY serial, started DESC, id DESC")
            .arg(countColumns(), runin::failsSql(QStringLiteral("errors"))),
        {{QStringLiteral(":since"), runs::storedTime(since)}});
}

int axisOfKey(const QString &key)
{
    const auto &keys = runs::schema::kAxisColumns;
    for (std::size_t axis = 0; axis < keys.size(); ++axis)
        if (key == QLatin1String(keys.at(axis)))
            return int(axis);
    return -1;
}

QJsonObject uChartJson(const QString &station, const QString &axisKey, const UChart &chart)
{
    QJsonArray points, flagged;
    for (const UPoint &point : chart.points)
        points.append(QJsonObject{{"run", point.run},
                                  {"start", isoTime(point.start)},
                                  {"moves", point.moves},
                                  {"errors", point.errors},
                                  {"rate", point.rate},
                                  {"ucl", point.ucl},
                                  {"lcl", point.lcl}});
    for (const UFlag &flag : chart.flagged)
        flagged.append(QJsonObject{{"run", flag.run}, {"rule", flag.rule}});
    return {{"station", station},
            {"axis", axisKey},
            {"centre", chart.centre},
            {"points", points},
            {"flagged", flagged}};
}

} // namespace quality
