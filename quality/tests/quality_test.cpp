// The quality figures and run pages over records stored by the store itself, on the station's
// SQLite file and on a real PostgreSQL server the test starts.
#include "records.h"

#include "quality/cache.h"
#include "quality/filter.h"
#include "quality/quality.h"
#include "runs/lenslist.h"
#include "runs/runqueries.h"
#include "runs/runstore.h"
#include "runs/runsummary.h"

#include <QStringList>

#include <ctime>
#include <map>

namespace quality::test {
namespace {

class Figures : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        if (QLatin1String(GetParam()) == QLatin1String("sqlite"))
            m_backend = std::make_unique<StationFile>();
        else
            m_backend = std::make_unique<PlantServer>();
        m_records = m_backend->open();
        ASSERT_TRUE(m_records);
    }
    void store(const runs::RunRecord &record)
    {
        auto stored = runs::RunStore(*m_records).put(record);
        ASSERT_TRUE(stored) << stored.error();
    }
    Quality figures(const runs::RunFilter &filter = {})
    {
        auto computed = compute(*m_records, filter);
        EXPECT_TRUE(computed) << (computed ? "" : computed.error());
        return computed ? *computed : Quality{};
    }

    std::unique_ptr<Backend> m_backend;
    std::unique_ptr<runs::RunDatabase> m_records;
};

template <class Set> runs::RunFilter filterWith(Set set)
{
    runs::RunFilter filter;
    set(filter);
    return filter;
}

// week, station, runs, without serial, lenses, new lenses, first pass, final pass
using Row = std::tuple<QString, QString, int, int, int, int, int, int>;
std::vector<Row> rows(const Quality &quality)
{
    std::vector<Row> made;
    for (const Cell &cell : quality.cells)
        made.emplace_back(cell.week, cell.station, cell.runs, cell.withoutSerial, cell.lenses,
                          cell.newLenses, cell.firstPass, cell.finalPass);
    return made;
}

TEST_P(Figures, LensesCountWhereTheirFirstRunWas_YieldsFromTheirFirstAndLatestRuns)
{
    // Week 49 of 2026 runs from Monday 30 November; week 50 from Monday 7 December.
    store(run("s1", "L1", at(2026, 12, 1, 9), 3)); // fails first...
    store(run("s2", "L1", at(2026, 12, 8, 9)));    // ...passes at another station later
    store(run("s1", "L2", at(2026, 12, 2, 9)));    // passes at once
    store(run("s2", "L3", at(2026, 12, 3, 9)));    // passes...
    store(run("s2", "L3", at(2026, 12, 9, 9), 2, 0, "Single Step")); // ...then fails again
    store(run("s1", "", at(2026, 12, 4, 9), 1)); // no serial: a run, in no yield
    // Sunday 23:30 in Rome is still week 49; half past midnight on Monday is week 50 (both are
    // Sunday in UTC).
    store(run("s1", "L4", at(2026, 12, 6, 23, 30)));
    store(run("s1", "L5", at(2026, 12, 7, 0, 30)));

    const Quality all = figures();
    EXPECT_EQ(rows(all), (std::vector<Row>{{"2026-W49", "s1", 4, 1, 3, 3, 2, 3},
                                           {"2026-W49", "s2", 1, 0, 1, 1, 1, 0},
                                           {"2026-W50", "s1", 1, 0, 1, 1, 1, 1},
                                           {"2026-W50", "s2", 2, 0, 2, 0, 0, 0}}));
    EXPECT_EQ(all.total.runs, 8);
    EXPECT_EQ(all.total.withoutSerial, 1);
    EXPECT_EQ(all.total.lenses, 5);
    EXPECT_EQ(all.total.newLenses, 5);
    EXPECT_DOUBLE_EQ(*all.total.firstPassYield(), 80.0);
    EXPECT_DOUBLE_EQ(*all.total.finalYield(), 80.0);
    EXPECT_FALSE(all.cells.back().firstPassYield()); // no new lens there: no yield, not 0 %
    const auto weeks = weeklyYield(all);
    ASSERT_EQ(weeks.size(), 2U);
    EXPECT_EQ(weeks[0].newLenses, 4);
    EXPECT_EQ(weeks[0].firstPass, 3);

    // Each count has its list: the runs and lenses of the filter narrowed to a week at a station.
    using enum runs::Verdict;
    const auto lenses = [this](const runs::LensFilter &filter) {
        const auto listed = runs::lensPage(*m_records, filter, 1, 0);
        EXPECT_TRUE(listed) << (listed ? "" : listed.error());
        return listed ? listed->total : -1;
    };
    for (const Cell &cell : all.cells) {
        const runs::RunFilter narrowed = filterWith([&cell](auto &f) {
            f.week = cell.week;
            f.station = cell.station;
        });
        EXPECT_EQ(runs::RunStore(*m_records).page(narrowed, 1, 10)->total, cell.runs);
        EXPECT_EQ(lenses({narrowed}), cell.lenses);
        EXPECT_EQ(lenses({narrowed, Any, Any, true}), cell.newLenses);
        EXPECT_EQ(lenses({narrowed, Pass, Any, true}), cell.firstPass);
        EXPECT_EQ(lenses({narrowed, Any, Pass, true}), cell.finalPass) << cell.week.toStdString();
    }
    EXPECT_EQ(
        runs::RunStore(*m_records).page(filterWith([](auto &f) { f.axis = 2; }), 1, 10)->total, 2);
    EXPECT_EQ(runs::RunStore(*m_records)
                  .page(filterWith([](auto &f) {
                            f.axis = 0;
                            f.tests = "Single Step";
                        }),
                        1, 10)
                  ->total,
              1);
    // Kept or summed up, the same lenses wait for a decision: L3, whose latest run failed.
    runs::LensCache kept;
    const runs::LensFilter decision{{}, Any, Any, false, true};
    EXPECT_EQ(lenses(decision), 1);
    const auto waiting = kept.page(*m_records, decision, 1, 10);
    ASSERT_TRUE(waiting && waiting->total == 1);
    EXPECT_EQ(waiting->lenses.front().serial, "L3");
    EXPECT_EQ(kept.page(*m_records, {{}, Fail}, 1, 10)->total, lenses({{}, Fail}));
    EXPECT_EQ(kept.page(*m_records, {}, 1, 0)->lenses,
              runs::lensPage(*m_records, {}, 1, 0)->lenses);

    // From week 50 on: L1 was first run before, so its pass there is no first pass.
    const Quality later = figures(filterWith([](auto &f) { f.since = at(2026, 12, 7, 0); }));
    EXPECT_EQ(rows(later), (std::vector<Row>{{"2026-W50", "s1", 1, 0, 1, 1, 1, 1},
                                             {"2026-W50", "s2", 2, 0, 2, 0, 0, 0}}));

    // Up to week 49: each lens's latest run is its latest by then.
    const Quality earlier = figures(filterWith([](auto &f) { f.until = at(2026, 12, 7, 0); }));
    EXPECT_EQ(rows(earlier), (std::vector<Row>{{"2026-W49", "s1", 4, 1, 3, 3, 2, 2},
                                               {"2026-W49", "s2", 1, 0, 1, 1, 1, 1}}));

    // One station: its runs, and the lenses first run there, wherever they went after.
    const Quality s1 = figures(filterWith([](auto &f) { f.station = "s1"; }));
    EXPECT_EQ(rows(s1), (std::vector<Row>{{"2026-W49", "s1", 4, 1, 3, 3, 2, 3},
                                          {"2026-W50", "s1", 1, 0, 1, 1, 1, 1}}));

    // Failed runs only: the first runs that failed, and nothing passed first.
    const Quality failed = figures(filterWith([](auto &f) { f.verdict = runs::Verdict::Fail; }));
    EXPECT_EQ(failed.total.runs, 3);
    EXPECT_EQ(failed.total.newLenses, 1);
    EXPECT_EQ(failed.total.firstPass, 0);
}

TEST_P(Figures, FailuresInOrderOfTheirCount)
{
    const Quality none = figures(); // no run yet: no week, no failure, and no error
    EXPECT_TRUE(none.cells.empty());
    EXPECT_TRUE(none.byEnding.empty());
    EXPECT_FALSE(none.total.firstPassYield());
    store(run("s1", "A", at(2026, 3, 2, 9), 4, 2));
    store(run("s1", "B", at(2026, 3, 2, 11), 1, 2));
    auto aborted = run("s1", "C", at(2026, 3, 3, 9), 2, 0, "Single Step");
    aborted.ending = runin::RunEnding::Aborted;
    store(aborted);
    auto lost = run("s1", "D", at(2026, 3, 3, 11));
    lost.ending = runin::RunEnding::LineLost;
    store(lost);

    const Quality quality = figures();
    ASSERT_EQ(quality.byAxisAndTest.size(), 2U);
    EXPECT_EQ(quality.byAxisAndTest[0].axis, "Iris");
    EXPECT_EQ(quality.byAxisAndTest[0].tests, "Full stroke");
    EXPECT_EQ(quality.byAxisAndTest[0].failedRuns, 2);
    EXPECT_EQ(quality.byAxisAndTest[0].errors, 5);
    EXPECT_NEAR(quality.byAxisAndTest[0].share, 66.67, 0.01);
    EXPECT_EQ(quality.byAxisAndTest[1].axis, "Zoom 1");
    EXPECT_DOUBLE_EQ(quality.byAxisAndTest[1].cumulative, 100.0);

    std::vector<std::tuple<QString, int, int>> endings;
    for (const EndingFailures &ending : quality.byEnding)
        endings.emplace_back(ending.ending, ending.runs, ending.failed);
    EXPECT_EQ(endings,
              (std::vector<std::tuple<QString, int, int>>{
                  {"completed", 2, 2}, {"stopped by ABORT", 1, 1}, {"the line was lost", 1, 0}}));
}

TEST_P(Figures, TheCacheGivesNoFiguresOlderThanTheRuns)
{
    Cache cache;
    store(run("s1", "L1", at(2026, 3, 2, 9), 1));
    ASSERT_EQ(cache.compute(*m_records, {})->total.runs, 1);
    store(run("s1", "L1", at(2026, 3, 2, 11)));
    const auto again = cache.compute(*m_records, {});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->total.runs, 2);
    EXPECT_EQ(again->total.finalPass, 1);
    runs::RunFilter other;
    other.verdict = runs::Verdict::Fail;
    EXPECT_EQ(cache.compute(*m_records, other)->total.runs, 1);

    // A serial corrected on an old run shows at the next request.
    const runs::RunRecord unnamed = run("s1", "", at(2026, 3, 1, 9));
    store(unnamed);
    ASSERT_EQ(cache.compute(*m_records, {})->total.withoutSerial, 1);
    ASSERT_TRUE(runs::RunStore(*m_records).setSerial(unnamed.id, "L2"));
    EXPECT_EQ(cache.compute(*m_records, {})->total.withoutSerial, 0);
}

TEST_P(Figures, PagesNewestFirst_FiltersCombine)
{
    std::vector<runs::RunRecord> stored;
    for (int day = 1; day <= 5; ++day) {
        stored.push_back(run(day % 2 ? "s1" : "s2", QStringLiteral("L%1").arg(day),
                             at(2026, 5, day, 23, 59), day == 3 ? 1 : 0));
        stored.back().operatorName = day == 5 ? "bruno" : "anna";
        store(stored.back());
    }
    const auto ids = [](const std::vector<runs::RunRecord> &records) {
        QStringList made;
        for (const auto &record : records)
            made << record.serial;
        return made.join(u' ');
    };
    const auto page = [this](const runs::RunFilter &filter, int number) {
        auto found = runs::RunStore(*m_records).page(filter, number, 2);
        EXPECT_TRUE(found) << (found ? "" : found.error());
        return found ? *found : runs::RunPage{};
    };
    EXPECT_EQ(ids(page({}, 1).runs), "L5 L4");
    EXPECT_EQ(ids(page({}, 3).runs), "L1");
    const runs::RunPage beyond = page({}, 4);
    EXPECT_TRUE(beyond.runs.empty());
    EXPECT_EQ(beyond.total, 5);
    EXPECT_TRUE(page({}, 1).runs.front().complete.isEmpty()); // no logs on a page
    EXPECT_FALSE(runs::RunStore(*m_records).page({}, 0, 2));
    EXPECT_FALSE(runs::RunStore(*m_records).page({}, 1, 0));

    // The filters as a page's address gives them: each day whole, both ends included.
    const auto read = [](std::map<QString, QString> pairs) {
        auto filter = readFilter([&pairs](const QString &key) { return pairs[key]; });
        EXPECT_TRUE(filter) << (filter ? "" : filter.error());
        return filter ? *filter : runs::RunFilter{};
    };
    const runs::RunFilter days = read({{"since", "2026-05-02"}, {"until", "2026-05-04"}});
    EXPECT_EQ(ids(page(days, 1).runs), "L4 L3");
    EXPECT_EQ(page(days, 1).total, 3);
    EXPECT_EQ(ids(*runs::RunStore(*m_records).list(days)), "L2 L3 L4");
    EXPECT_EQ(ids(page(read({{"verdict", "fail"}}), 1).runs), "L3");
    EXPECT_EQ(ids(page(read({{"verdict", "pass"}, {"station", "s1"}}), 1).runs), "L5 L1");
    EXPECT_EQ(ids(page(read({{"operator", "bruno"}}), 1).runs), "L5");
    EXPECT_EQ(ids(page(read({{"serial", "L2"}, {"verdict", "fail"}}), 1).runs), "");

    auto last = runs::RunStore(*m_records).lastRunPerStation();
    ASSERT_TRUE(last) << last.error();
    EXPECT_EQ(ids(*last), "L5 L4");
}

TEST_P(Figures, TheSummaryKeptAsRunsArriveGivesTheFiguresOfTheScan)
{
    // Four weeks at three stations, some hours from midnight; lenses run again elsewhere, runs
    // without a serial, failures on each axis, two endings and two tests.
    std::vector<runs::RunRecord> made;
    for (int i = 0; i < 40; ++i) {
        made.push_back(run(QStringLiteral("s%1").arg(i % 3),
                           i % 7 == 3 ? QString() : QStringLiteral("L%1").arg(i % 11),
                           at(2026, 11, 23, 8).addSecs(i * 13 * 3600), i % 5 == 0 ? 1 + i % 3 : 0,
                           i % 4, i % 2 ? "Full stroke" : "Single Step"));
        if (i % 6 == 0)
            made.back().ending = runin::RunEnding::Aborted;
        store(made.back());
    }
    // Serials corrected on old runs, and a run sent again with another serial.
    ASSERT_TRUE(runs::RunStore(*m_records).setSerial(made[3].id, "L3"));
    ASSERT_TRUE(runs::RunStore(*m_records).setSerial(made[12].id, "L99"));
    made[20].serial = "L0";
    store(made[20]);

    const auto with = [](auto set) { return filterWith(set); };
    const std::vector<std::pair<runs::RunFilter, bool>> filters{
        {{}, true},
        {with([](auto &f) { f.station = "s1"; }), true},
        {with([](auto &f) { f.since = at(2026, 12, 1, 0); }), true},
        {with([](auto &f) { f.until = at(2026, 12, 6, 0); }), true},
        {with([](auto &f) {
             f.station = "s2";
             f.since = at(2026, 11, 26, 0);
             f.until = at(2026, 12, 10, 0);
         }),
         true},
        {with([](auto &f) { f.since = at(2026, 12, 1, 12); }), false},
        {with([](auto &f) { f.operatorName = "anna"; }), false},
        {with([](auto &f) { f.verdict = runs::Verdict::Fail; }), false}};
    for (const bool rebuilt : {false, true}) {
        for (std::size_t i = 0; i < filters.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "filter " << i << (rebuilt ? ", rebuilt" : ""));
            const auto &[filter, answered] = filters[i];
            auto scan = runs::qualityCounts(*m_records, filter, runs::Source::Scan);
            auto summed = runs::qualityCounts(*m_records, filter, runs::Source::Summary);
            ASSERT_TRUE(scan && summed && *scan)
                << (scan ? "" : scan.error()) << (summed ? "" : summed.error());
            ASSERT_EQ(summed->has_value(), answered);
            if (answered) {
                EXPECT_TRUE(**summed == **scan);
            }
        }
        ASSERT_TRUE(runs::summary::rebuild(*m_records)); // as a migration fills it
    }
}

std::string storeName(const ::testing::TestParamInfo<const char *> &store)
{
    return store.param;
}
INSTANTIATE_TEST_SUITE_P(Store, Figures, ::testing::Values("sqlite", "postgresql"), storeName);

} // namespace
} // namespace quality::test
