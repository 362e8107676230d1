// The plant under load from several sides at once, made to happen in a known order: a session of
// the test holds a lock that the others must wait on, and lets go once they all wait.
#include "runs/camstore.h"
#include "runs/outbox.h"
#include "runs/plantsender.h"
#include "runs/rundatabase.h"
#include "runs/schema.h"

#include "testsupport/pgserver.h"
#include "testsupport/records.h"
#include "testsupport/waitfor.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace runs::test {
namespace {

class PlantLocks : public ::testing::Test
{
protected:
    void SetUp() override { m_server.start(); }

    void waitForWaiters(int count)
    {
        ASSERT_TRUE(testsupport::waitFor([&] { return m_server.lockWaits() >= count; }, 30000))
            << m_server.lockWaits() << " waiting";
    }

    QTemporaryDir m_dir;
    testsupport::PgServer m_server;
};

TEST_F(PlantLocks, TwoStationsUpgradeAnOlderPlantAtOnce)
{
    ASSERT_TRUE(RunDatabase::openPlant(m_server.connection()));
    // The plant as the first version left it: its runs, nothing since.
    m_server.psql("DROP TABLE cam_records, station_settings, run_progress; DROP INDEX "
                  "runs_started_id, runs_station_started, runs_serial_started, "
                  "runs_operator_started; UPDATE velmaro_schema SET version = 1");
    auto held = m_server.holding("LOCK TABLE runs IN ACCESS EXCLUSIVE MODE");
    std::string outcome[2];
    std::vector<std::thread> stations;
    for (std::string &said : outcome)
        stations.emplace_back([this, &said] {
            auto opened = RunDatabase::openPlant(m_server.connection());
            said = opened ? "opened" : opened.error();
        });
    waitForWaiters(2);
    held.reset();
    for (std::thread &station : stations)
        station.join();
    EXPECT_EQ(outcome[0], "opened");
    EXPECT_EQ(outcome[1], "opened");
    EXPECT_EQ(m_server.psql("SELECT version FROM velmaro_schema"),
              QString::number(schema::version()));
    EXPECT_EQ(m_server.psql("SELECT count(*) FROM cam_records, run_progress"), "0");
}

TEST_F(PlantLocks, ACamTablesSerialGivenAfterItsSendOrWhileItGoesReachesThePlant)
{
    const QString path = m_dir.filePath("runs.sqlite");
    auto own = RunDatabase::openStation(path);
    ASSERT_TRUE(own) << own.error();
    const CamRecord table = testsupport::madeCam(testsupport::camBytes(0), 60);
    ASSERT_TRUE(CamStore(**own).keep(table));
    PlantSender sender(path, m_server.connection());
    sender.send();
    const QString serialAtPlant =
        QStringLiteral("SELECT serial FROM cam_records WHERE id = '%1'").arg(table.id);
    ASSERT_EQ(m_server.psql(serialAtPlant), "");

    // Given after it was sent.
    ASSERT_TRUE(CamStore(**own).setSerial(table.id, "L-1"));
    sender.send();
    EXPECT_EQ(m_server.psql(serialAtPlant), "L-1");

    // Given while the send of an earlier serial waits on the plant.
    ASSERT_TRUE(CamStore(**own).setSerial(table.id, "L-2"));
    auto held = m_server.holding("LOCK TABLE cam_records IN EXCLUSIVE MODE");
    std::thread sending([&] { PlantSender(path, m_server.connection()).send(); });
    waitForWaiters(1);
    ASSERT_TRUE(CamStore(**own).setSerial(table.id, "L-3"));
    held.reset();
    sending.join();
    EXPECT_EQ(Outbox(**own, kCamTable).waiting()->size(), 1U)
        << "the serial given meanwhile still waits";
    sender.send();
    EXPECT_EQ(m_server.psql(serialAtPlant), "L-3");
    EXPECT_TRUE(Outbox(**own, kCamTable).waiting()->empty());
}

} // namespace
} // namespace runs::test
