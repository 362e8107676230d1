// A run under way: the snapshots' pace on the steps' own (virtual) clock, what each holds, storage.
#include "runs/progress.h"
#include "runs/progressstore.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"

#include "platform/clock.h"
#include "testsupport/records.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

using namespace std::chrono_literals;
using Errors = std::array<int, kAxisCount>;

TEST(Pacing, OneAtTheStartAtMostOneAMinuteAfterAndOneAtTheEnd)
{
    platform::VirtualClock clock;
    std::vector<RunProgress> sent;
    ProgressPacer pacer([&sent](const RunProgress &progress) { sent.push_back(progress); });
    const auto step = [&](int cycles, Errors errors) {
        const QDateTime at =
            QDateTime(QDate(2026, 12, 6), QTime(8, 0), Qt::UTC).addMSecs(clock.now().count());
        pacer.progressed({cycles, errors, at, clock.now()});
        return at;
    };
    step(0, {}); // no run: nothing
    RunRecord run = testsupport::madeRun("station-a", 1, 10, "L-4711");
    pacer.started(run);
    step(0, {});
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(std::tie(sent[0].runId, sent[0].station, sent[0].serial, sent[0].tests),
              std::tie(run.id, run.station, run.serial, run.tests));

    // Steps every 700 ms: the next a minute after the one before, with the latest step's counts.
    for (int i = 0; i < 85; ++i, clock.advance(700ms))
        step(0, {1, 0, 0, 0});
    EXPECT_EQ(sent.size(), 1U);
    clock.advance(500ms);
    const QDateTime at = step(2, {1, 0, 3, 0});
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(std::tie(sent[1].cycles, sent[1].errors, sent[1].lastStep, sent[1].ended),
              std::make_tuple(2, Errors{1, 0, 3, 0}, at, false));

    // A slow step sends at once, and the next minute counts from it.
    clock.advance(5min);
    step(3, {1, 0, 3, 0});
    clock.advance(59s);
    step(3, {1, 1, 3, 0});
    EXPECT_EQ(sent.size(), 3U);

    // The end goes whatever the pace, with the latest counts; nothing after it.
    pacer.ended(4);
    ASSERT_EQ(sent.size(), 4U);
    EXPECT_EQ(std::tie(sent[3].cycles, sent[3].errors, sent[3].ended),
              std::make_tuple(4, Errors{1, 1, 3, 0}, true));
    clock.advance(1h);
    step(5, {});
    pacer.ended(5);
    EXPECT_EQ(sent.size(), 4U);

    // The next run's start goes at once, counted afresh.
    pacer.started(testsupport::madeRun("station-a", 2));
    step(0, {});
    ASSERT_EQ(sent.size(), 5U);
    EXPECT_NE(sent[4].runId, run.id);
}

TEST(StationProgress, LatestPerStationWinsAndARecordThatArrivedEndsIt)
{
    QTemporaryDir dir;
    auto opened = RunDatabase::openStation(dir.filePath("runs.sqlite"));
    ASSERT_TRUE(opened) << opened.error();
    RunDatabase &database = **opened;
    const RunRecord run = testsupport::madeRun("station-a", 1);
    RunProgress a, b;
    a.runId = run.id;
    a.station = "station-a";
    a.errors = {0, 2, 0, 1};
    a.lastStep = QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1, 250), Qt::UTC);
    b.station = "station-b";
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    for (const RunProgress &progress : {a, b, a})
        ASSERT_TRUE(ProgressStore(database).put(progress));
    a.cycles = 8;
    ASSERT_TRUE(ProgressStore(database).put(a));
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    auto latest = *ProgressStore(database).latest();
    ASSERT_EQ(latest.size(), 2U);
    // Stamped by the database as it stored it.
    EXPECT_TRUE(latest[0].updated > before && latest[0].updated < after);
    latest[0].updated = {};
    EXPECT_EQ(latest[0], a);
    EXPECT_FALSE(latest[1].lastStep.isValid()); // no step yet

    // Its end snapshot lost on the way, the run's record tells that it is over.
    ASSERT_TRUE(RunStore(database).put(run));
    latest = *ProgressStore(database).latest();
    EXPECT_TRUE(latest[0].ended && !latest[1].ended);
}

} // namespace
} // namespace runs::test
