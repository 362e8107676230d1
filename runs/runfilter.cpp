#include "runfilter.h"

#include "schema.h"

#include "runin/verdict.h"

#include <QRegularExpression>

#include <QSqlQuery>

namespace runs {

QString FilterSql::sql() const
{
    return terms.join(QStringLiteral(" AND "));
}

void FilterSql::bind(QSqlQuery &query) const
{
    for (const auto &[name, value] : values)
        query.bindValue(name, value);
}

std::optional<std::pair<QDateTime, QDateTime>> weekBounds(const QString &week)
{
    static const QRegularExpression weekText(QStringLiteral(R"(^(\d{4})-W(\d{2})$)"));
    const auto match = weekText.match(week);
    if (!match.hasMatch())
        return std::nullopt;
    const int year = match.captured(1).toInt();
    const int number = match.captured(2).toInt();
    // The 4th of January is always in week 1.
    const QDate fourth(year, 1, 4);
    const QDate monday = fourth.addDays(1 - fourth.dayOfWeek() + 7 * (number - 1));
    int itsYear = 0;
    if (number < 1 || monday.weekNumber(&itsYear) != number || itsYear != year)
        return std::nullopt;
    return std::pair{monday.startOfDay(), monday.addDays(7).startOfDay()};
}

FilterSql filterSql(const RunFilter &filter, const QString &table)
{
    FilterSql where;
    const QString column = table.isEmpty() ? QString() : table + u'.';
    const auto add = [&](const QString &term, const char *name, const QVariant &value) {
        const QString mark = u':' + table + QLatin1String(name);
        where.terms << QString(term).arg(column, mark);
        where.values.emplace_back(mark, value);
    };
    if (!filter.serial.isEmpty())
        add(QStringLiteral("%1serial = %2"), "serial", filter.serial);
    if (!filter.station.isEmpty())
        add(QStringLiteral("%1station = %2"), "station", filter.station);
    if (!filter.operatorName.isEmpty())
        add(QStringLiteral("%1operator = %2"), "operator", filter.operatorName);
    if (filter.since.isValid())
        add(QStringLiteral("%1started >= %2"), "since", storedTime(filter.since));
    if (filter.until.isValid())
        add(QStringLiteral("%1started < %2"), "until", storedTime(filter.until));
    if (filter.withoutSerial)
        where.terms << column + QStringLiteral("serial = ''");
    if (!filter.tests.isEmpty())
        add(QStringLiteral("%1tests = %2"), "tests", filter.tests);
    if (!filter.ending.isEmpty())
        add(QStringLiteral("%1ending = %2"), "ending", filter.ending);
    if (const auto week = weekBounds(filter.week)) {
        add(QStringLiteral("%1started >= %2"), "weekstart", storedTime(week->first));
        add(QStringLiteral("%1started < %2"), "weekend", storedTime(week->second));
    }
    if (filter.axis >= 0 && filter.axis < kAxisCount)
        where.terms << runin::failsSql(
            column + QLatin1String(schema::kAxisColumns.at(static_cast<std::size_t>(filter.axis))) +
            QStringLiteral("_errors"));
    if (filter.verdict == Verdict::Pass)
        where.terms << runin::passesSql(column + QStringLiteral("errors"));
    else if (filter.verdict == Verdict::Fail)
        where.terms << runin::failsSql(column + QStringLiteral("errors"));
    return where;
}

} // namespace runs
