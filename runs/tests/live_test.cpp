// A run under way as the plant sees it, on a real PostgreSQL server, and a plant that is down.
#include "runs/plantsender.h"
#include "runs/progress.h"
#include "runs/progressstore.h"
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "runs/runstore.h"

#include "testsupport/pgserver.h"
#include "testsupport/silentserver.h"
#include "testsupport/waitfor.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

using namespace std::chrono_literals;

class Live : public ::testing::Test
{
protected:
    [[nodiscard]] KeeperSetup setup(const QString &plant) const
    {
        return {m_dir.filePath("runs.sqlite"), plant, m_dir.path(), "station-a", "op", "1.2.0", {}};
    }
    // The plant's snapshots as its page reads them.
    std::vector<RunProgress> shown()
    {
        if (!m_reader) {
            auto opened = RunDatabase::openPlant(m_server.connection());
            if (!opened) {
                ADD_FAILURE() << opened.error();
                return {};
            }
            m_reader = std::move(*opened);
        }
        auto latest = ProgressStore(*m_reader).latest();
        return latest ? *latest : std::vector<RunProgress>{};
    }
    bool shows(const std::function<bool(const RunProgress &)> &what)
    {
        return testsupport::waitFor([&] { return shown().size() == 1 && what(shown()[0]); });
    }

    QTemporaryDir m_dir;
    testsupport::PgServer m_server;
    std::unique_ptr<RunDatabase> m_reader;
};

TEST_F(Live, ARunsSnapshotsArriveAsItGoesAndItsEndMarksItEnded)
{
    m_server.start();
    RunKeeper keeper(setup(m_server.connection()));
    keeper.runStarted(false, true);
    keeper.runProgressed({0, {}, {}, 0ms});
    ASSERT_TRUE(shows([](const RunProgress &p) { return p.station == "station-a" && !p.ended; }));
    const RunProgress started = shown()[0];
    EXPECT_TRUE(started.updated.isValid() && !started.lastStep.isValid());

    const QDateTime step(QDate(2026, 12, 6), QTime(9, 30, 15, 500), Qt::UTC);
    keeper.runProgressed({3, {0, 1, 2, 0}, step, 61s});
    ASSERT_TRUE(shows([&step](const RunProgress &p) {
        return p.cycles == 3 && p.lastStep == step && p.errors[2] == 2 && !p.ended;
    }));
    keeper.runEnded(runin::RunEnding::Aborted, 4);
    ASSERT_TRUE(shows([](const RunProgress &p) { return p.cycles == 4 && p.ended; }));
    EXPECT_EQ(shown()[0].runId, started.runId);

    // A run whose record is in the plant counts as ended though its end never came.
    RunProgress lost = started;
    lost.station = "station-b";
    ASSERT_TRUE(ProgressStore(*m_reader).put(lost));
    EXPECT_TRUE(testsupport::waitFor([this] { return shown().size() == 2 && shown()[1].ended; }));
}

TEST_F(Live, APlantThatIsDownCostsTheWindowNothingAndIsLeftNothingToCatchUp)
{
    const QString connection = m_server.connection();
    const int port = QRegularExpression(R"(port=(\d+))").match(connection).captured(1).toInt();
    {
        testsupport::SilentServer silent(port);
        ASSERT_NE(silent.port(), 0);
        RunKeeper keeper(setup(QString(connection).replace("timeout=2", "timeout=120")));
        // The sender has gone to send what waited since the last time, and hangs there.
        ASSERT_TRUE(testsupport::waitFor([&silent] { return silent.clientWaiting(); }));

        // A whole run, each snapshot due, and the next START: the window's thread goes on.
        keeper.runStarted(true, true);
        for (int minute = 0; minute < 200; ++minute)
            keeper.runProgressed({minute / 6,
                                  {minute, 0, 0, 0},
                                  QDateTime::currentDateTimeUtc(),
                                  std::chrono::minutes(minute)});
        keeper.runEnded(runin::RunEnding::Aborted, 33);
        EXPECT_TRUE(keeper.keepPreviousRun());
        // The sender still hangs on its first try: none of that waited for it.
        EXPECT_TRUE(silent.clientWaiting());
        silent.close(); // its try fails now, and so does the snapshot's after it
    }

    // Up again: the run's record arrives through the outbox as ever, and none of its snapshots.
    m_server.start();
    PlantSender(m_dir.filePath("runs.sqlite"), connection).send();
    const auto runs = RunStore(*RunDatabase::openPlant(connection).value()).list({});
    ASSERT_TRUE(runs && runs->size() == 1U);
    EXPECT_EQ(runs->at(0).cycles, 33);
    EXPECT_TRUE(shown().empty());
}

} // namespace
} // namespace runs::test
