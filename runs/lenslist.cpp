// The lens list: each lens's runs summed up in one pass along the (serial, started) index.
#include "lenslist.h"

#include "rundatabase.h"
#include "runstore.h"
#include "runsummary.h"

#include "runin/verdict.h"

#include <QSqlQuery>
#include <QVariant>

namespace runs {

namespace {

QString verdictTerm(Verdict verdict, const QString &errors)
{
    if (verdict == Verdict::Pass)
        return runin::passesSql(errors);
    if (verdict == Verdict::Fail)
        return runin::failsSql(errors);
    return {};
}

bool holds(Verdict verdict, int errors)
{
    return verdict == Verdict::Any || (verdict == Verdict::Pass) == runin::passes(errors);
}

// The lenses of `all` that the lens filter's own terms hold.
LensPage pick(const std::vector<LensRow> &all, const LensFilter &filter, int page, int perPage)
{
    LensPage found;
    const qint64 first = static_cast<qint64>(std::max(page, 1) - 1) * perPage;
    for (const LensRow &lens : all) {
        if (!holds(filter.first, lens.firstErrors) || !holds(filter.latest, lens.latestErrors) ||
            (filter.decision && runin::passes(lens.latestErrors) && lens.passedRuns > 0 &&
             lens.runs < 3))
            continue;
        if (found.total >= first && (perPage == 0 || found.total < first + perPage))
            found.lenses.push_back(lens);
        ++found.total;
    }
    return found;
}

// Every lens, the lens run latest first: from the summary kept as runs arrive while it is kept,
// else summed up from the runs.
base::Result<std::vector<LensRow>> everyLens(RunDatabase &database)
{
    auto zone = summary::zone(database);
    if (!zone)
        return zone.failure();
    if (zone->isEmpty()) {
        auto summed = lensPage(database, {}, 1, 0);
        if (!summed)
            return summed.failure();
        return std::move(summed->lenses);
    }
    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT serial, runs, stations, first_started, "
                                   "latest_started, first_errors, latest_errors, passed FROM "
                                   "lenses ORDER BY latest_started DESC, serial")))
        return database.failure(QStringLiteral("cannot list the lenses"), query);
    std::vector<LensRow> lenses;
    while (query.next())
        lenses.push_back({query.value(0).toString(), query.value(1).toInt(), query.value(2).toInt(),
                          timeFromStored(query.value(3).toString()),
                          timeFromStored(query.value(4).toString()), query.value(5).toInt(),
                          query.value(6).toInt(), query.value(7).toInt()});
    return lenses;
}

} // namespace

base::Result<LensPage> LensCache::page(RunDatabase &database, const LensFilter &filter, int page,
                                       int perPage)
{
    if (filterSql(filter.runs).terms.size() > 1 || filter.runs.until.isValid())
        return lensPage(database, filter, page, perPage);
    auto mark = RunStore(database).changeMark();
    if (!mark)
        return mark.failure();
    const QString key = database.name() + u'\n' + *mark;
    const auto kept = [this, &key] {
        const std::lock_guard lock(m_mutex);
        return m_key == key ? m_all : nullptr;
    };
    auto all = kept();
    if (!all) {
        const std::lock_guard summing(m_summing);
        all = kept(); // summed up while this one waited
        if (!all) {
            auto summed = everyLens(database);
            if (!summed)
                return summed.failure();
            all = std::make_shared<const std::vector<LensRow>>(std::move(*summed));
            const std::lock_guard lock(m_mutex);
            m_key = key;
            m_all = all;
        }
    }
    return pick(*all, filter, page, perPage);
}

base::Result<LensPage> lensPage(RunDatabase &database, const LensFilter &filter, int page,
                                int perPage)
{
    FilterSql marks = filterSql(filter.runs);
    const QString chosen = marks.sql();
    QStringList runTerms{QStringLiteral("serial <> ''")};
    if (filter.runs.until.isValid()) {
        runTerms << QStringLiteral("started < :lensuntil");
        marks.values.emplace_back(QStringLiteral(":lensuntil"), storedTime(filter.runs.until));
    }
    // Only the lenses with a run in the filter are summed up, when it holds fewer than all.
    if (marks.terms.size() > 1) {
        const FilterSql some = filterSql(filter.runs, QStringLiteral("c"));
        runTerms
            << QStringLiteral("serial IN (SELECT c.serial FROM runs c WHERE %1)").arg(some.sql());
        marks.values.insert(marks.values.end(), some.values.begin(), some.values.end());
    }
    QStringList lensTerms{QStringLiteral("chosen = 1")};
    if (filter.onlyNew)
        lensTerms << QStringLiteral("new = 1");
    for (const QString &term : {verdictTerm(filter.first, QStringLiteral("first_errors")),
                                verdictTerm(filter.latest, QStringLiteral("latest_errors"))})
        if (!term.isEmpty())
            lensTerms << term;
    if (filter.decision)
        lensTerms << QStringLiteral("(%1 OR passed = 0 OR runs >= 3)")
                         .arg(runin::failsSql(QStringLiteral("latest_errors")));
    QString sql =
        QStringLiteral(
            "SELECT serial, runs, stations, first_started, first_errors, latest_started, "
            "latest_errors, passed, count(*) OVER () FROM (SELECT serial, count(*) AS runs, "
            "count(DISTINCT station) AS stations, max(CASE WHEN n = 1 THEN started END) AS "
            "first_started, max(CASE WHEN n = 1 THEN errors END) AS first_errors, max(CASE WHEN "
            "n = 1 THEN chosen END) AS new, max(started) AS latest_started, max(latest) AS "
            "latest_errors, max(chosen) AS chosen, sum(%1) AS passed FROM (SELECT serial, "
            "station, started, errors, CASE WHEN %2 THEN 1 ELSE 0 END AS chosen, row_number() "
            "OVER lens AS n, last_value(errors) OVER (lens ROWS BETWEEN UNBOUNDED PRECEDING AND "
            "UNBOUNDED FOLLOWING) AS latest FROM runs WHERE %3 WINDOW lens AS (PARTITION BY "
            "serial ORDER BY started, id)) r GROUP BY serial) l WHERE %4 ORDER BY "
            "latest_started DESC, serial")
            .arg(QStringLiteral("CASE WHEN %1 THEN 1 ELSE 0 END")
                     .arg(runin::passesSql(QStringLiteral("errors"))),
                 chosen, runTerms.join(QStringLiteral(" AND ")),
                 lensTerms.join(QStringLiteral(" AND ")));
    if (perPage > 0)
        sql += QStringLiteral(" LIMIT %1 OFFSET %2")
                   .arg(perPage)
                   .arg(static_cast<qint64>(std::max(page, 1) - 1) * perPage);

    QSqlQuery query(database.connection());
    query.setForwardOnly(true);
    const bool prepared = query.prepare(sql);
    marks.bind(query);
    if (!prepared || !query.exec())
        return database.failure(QStringLiteral("cannot list the lenses"), query);
    LensPage found;
    while (query.next()) {
        found.lenses.push_back({query.value(0).toString(), query.value(1).toInt(),
                                query.value(2).toInt(), timeFromStored(query.value(3).toString()),
                                timeFromStored(query.value(5).toString()), query.value(4).toInt(),
                                query.value(6).toInt(), query.value(7).toInt()});
        found.total = query.value(8).toInt();
    }
    return found;
}

} // namespace runs
