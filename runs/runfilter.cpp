#include "runfilter.h"

#include "runin/verdict.h"

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
    if (filter.verdict == Verdict::Pass)
        where.terms << runin::passesSql(column + QStringLiteral("errors"));
    else if (filter.verdict == Verdict::Fail)
        where.terms << runin::failsSql(column + QStringLiteral("errors"));
    return where;
}

} // namespace runs
