// What the plant sees of a run under way: the snapshots' pace on the steps' own clock and what each
// holds, and the station database's keeping of them.
#include "records.h"

#include "runs/progress.h"
#include "runs/rundatabase.h"

#include "platform/clock.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

using namespace std::chrono_literals;

class Pacing : public ::testing::Test
{
protected:
    Pacing()
    {
        m_run.id = "3f2a9c1e-0000-4000-8000-000000000001";
        m_run.station = "station-a";
        m_run.serial = "L-4711";
        m_run.tests = "Single Step, Full stroke";
    }

    // The sequencer's count after a step at the virtual clock's present time.
    void step(int cycles, std::array<int, 4> errors)
    {
        runin::RunSoFar soFar{cycles, errors, stepTime(), m_clock.now()};
        m_pacer.progressed(soFar);
    }
    [[nodiscard]] QDateTime stepTime() const
    {
        return QDateTime(QDate(2026, 12, 6), QTime(8, 0), Qt::UTC).addMSecs(m_clock.now().count());
    }

    platform::VirtualClock m_clock;
    RunRecord m_run;
    std::vector<RunProgress> m_sent;
    ProgressPacer m_pacer{[this](const RunProgress &progress) { m_sent.push_back(progress); }};
};

TEST_F(Pacing, OneAtTheStartAtMostOneAMinuteAndOneAtTheEnd)
{
    m_pacer.progressed({}); // no run: nothing
    m_pacer.started(m_run);
    EXPECT_TRUE(m_sent.empty()); // the first goes with the sequencer's start
    m_pacer.progressed({0, {}, {}, m_clock.now()});
    ASSERT_EQ(m_sent.size(), 1U);
    RunProgress first;
    first.runId = m_run.id;
    first.station = "station-a";
    first.serial = "L-4711";
    first.tests = m_run.tests;
    EXPECT_EQ(m_sent[0], first);

    // Steps every 700 ms: the next snapshot a minute after the one before, on the steps' clock,
    // with what the latest step counted.
    for (int i = 0; i < 85; ++i) { // 59.5 s
        m_clock.advance(700ms);
        step(0, {1, 0, 0, 0});
    }
    EXPECT_EQ(m_sent.size(), 1U);
    m_clock.advance(500ms);
    step(2, {1, 0, 3, 0});
    ASSERT_EQ(m_sent.size(), 2U);
    EXPECT_EQ(m_sent[1].cycles, 2);
    EXPECT_EQ(m_sent[1].errors, (std::array<int, 4>{1, 0, 3, 0}));
    EXPECT_EQ(m_sent[1].lastStep, stepTime());
    EXPECT_FALSE(m_sent[1].ended);

    // A long step (the line was slow) sends at once, and the minute counts from there.
    m_clock.advance(5min);
    step(3, {1, 0, 3, 0});
    m_clock.advance(59s);
    step(3, {1, 1, 3, 0});
    EXPECT_EQ(m_sent.size(), 3U);

    // The end goes whatever the pace, with the latest counts and the cycles the end names.
    m_pacer.ended(4);
    ASSERT_EQ(m_sent.size(), 4U);
    EXPECT_TRUE(m_sent[3].ended);
    EXPECT_EQ(m_sent[3].cycles, 4);
    EXPECT_EQ(m_sent[3].errors, (std::array<int, 4>{1, 1, 3, 0}));
    m_pacer.progressed({5, {}, {}, m_clock.now() + 1h});
    m_pacer.ended(5);
    EXPECT_EQ(m_sent.size(), 4U);

    // The next run starts its own pace: its start goes at once.
    m_run.id = "3f2a9c1e-0000-4000-8000-000000000002";
    m_pacer.started(m_run);
    m_pacer.progressed({0, {}, {}, m_clock.now()});
    ASSERT_EQ(m_sent.size(), 5U);
    EXPECT_EQ(m_sent[4].runId, m_run.id);
    EXPECT_EQ(m_sent[4].errors, (std::array<int, 4>{}));
}

TEST(StationProgress, LatestPerStationWinsAndARecordThatArrivedEndsIt)
{
    QTemporaryDir dir;
    auto opened = RunDatabase::openStation(dir.filePath("runs.sqlite"));
    ASSERT_TRUE(opened) << opened.error();
    RunDatabase &database = **opened;

    const RunRecord run = madeRun("station-a", 1);
    RunProgress a;
    a.runId = run.id;
    a.station = "station-a";
    a.tests = "Full stroke";
    a.cycles = 7;
    a.errors = {0, 2, 0, 1};
    a.lastStep = QDateTime(QDate(2026, 12, 6), QTime(8, 0, 1, 250), Qt::UTC);
    RunProgress b;
    b.runId = "b-run";
    b.station = "station-b";
    b.serial = "L-1";
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    for (const RunProgress &progress : {a, b, a})
        ASSERT_TRUE(database.putProgress(progress));
    a.cycles = 8;
    ASSERT_TRUE(database.putProgress(a));
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    auto latest = database.latestProgress();
    ASSERT_TRUE(latest) << latest.error();
    ASSERT_EQ(latest->size(), 2U);
    RunProgress stored = latest->at(0);
    EXPECT_TRUE(stored.updated > before && stored.updated < after)
        << stored.updated.toString().toStdString();
    stored.updated = {};
    EXPECT_EQ(stored, a);
    EXPECT_FALSE(latest->at(1).lastStep.isValid()); // no step yet
    EXPECT_EQ(latest->at(1).serial, "L-1");

    // Its end snapshot lost on the way, the run's record tells that it is over.
    ASSERT_TRUE(database.put(run));
    latest = database.latestProgress();
    EXPECT_TRUE(latest->at(0).ended);
    EXPECT_FALSE(latest->at(1).ended);
}

} // namespace
} // namespace runs::test
