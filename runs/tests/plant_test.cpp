// The station's outbox against a real PostgreSQL server that the test starts, stops and kills.
#include "runs/camstore.h"
#include "runs/outbox.h"
#include "runs/plantsender.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"
#include "runs/schema.h"

#include "testsupport/infolder.h"
#include "testsupport/pgserver.h"
#include "testsupport/records.h"
#include "testsupport/reportprocess.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace runs::test {
namespace {

using testsupport::madeRun;
using testsupport::PgServer;

std::unique_ptr<RunDatabase> opened(base::Result<std::unique_ptr<RunDatabase>> result)
{
    EXPECT_TRUE(result) << (result ? "" : result.error());
    return result ? std::move(*result) : nullptr;
}
std::unique_ptr<RunDatabase> station(const QString &path)
{
    return opened(RunDatabase::openStation(path));
}
std::unique_ptr<RunDatabase> plant(const PgServer &server)
{
    return opened(RunDatabase::openPlant(server.connection()));
}

// Holds one row of the plant in an open transaction that changes it: a send that reaches the
// row waits for the transaction, so the send cannot end until the server goes.
class RowHeld
{
public:
    RowHeld(const PgServer &server, const QString &table, const QString &id)
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kName);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(server.port());
        db.setDatabaseName(QStringLiteral("plant"));
        db.setUserName(QStringLiteral("velmaro"));
        QSqlQuery query(db);
        held = db.open() && db.transaction() &&
               query.exec(QStringLiteral("UPDATE %1 SET id = id WHERE id = '%2'").arg(table, id)) &&
               query.numRowsAffected() == 1;
    }
    ~RowHeld()
    {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    bool held = false;

private:
    static constexpr const char *kName = "row-held";
};

void expectInPlantOnce(const PgServer &server, const std::vector<RunRecord> &runs)
{
    EXPECT_EQ(server.psql("SELECT count(*), count(DISTINCT id) FROM runs"),
              QStringLiteral("%1|%1").arg(runs.size()));
    auto reader = plant(server);
    ASSERT_TRUE(reader);
    for (const RunRecord &run : runs) {
        auto found = RunStore(*reader).find(run.id);
        ASSERT_TRUE(found) << found.error();
        EXPECT_EQ(*found, run);
    }
}

class Plant : public ::testing::Test
{
protected:
    // Sends the station at `path` to the plant while `held` keeps its last record from going,
    // and kills the server once the outbox of `table` holds `left` or fewer: the send must fail,
    // with records still waiting.
    void killMidSend(const QString &path, std::optional<RowHeld> &held, const RecordTable &table,
                     std::size_t left)
    {
        ASSERT_TRUE(held->held);
        std::atomic<bool> failed{false}, ended{false};
        std::thread sending([&] {
            auto own = RunDatabase::openStation(path);
            auto target = RunDatabase::openPlant(m_server.connection());
            failed = !own || !target || !sendWaiting(**own, **target);
            ended = true;
        });
        auto watcher = station(path);
        for (int i = 0; i < 12000 && !ended && Outbox(*watcher, table).waiting()->size() > left;
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        m_server.kill();
        sending.join();
        held.reset();
        EXPECT_TRUE(failed) << "the send ended although a record was held";
        EXPECT_GT(Outbox(*watcher, table).waiting()->size(), 0U);
        m_server.start();
    }

    // velmaro-report in `home`, `plant` its VELMARO_RUNS_DB (none when empty), ending with
    // `status` and saying `says`; gives all it said.
    static QString report(const QTemporaryDir &home, const QString &plant,
                          const QStringList &arguments, const QString &says, int status = 0)
    {
        const auto answer =
            testsupport::runReport(arguments, home.path(), {{"VELMARO_RUNS_DB", plant}});
        const QString said = QString::fromLocal8Bit(answer.out + answer.err);
        EXPECT_EQ(answer.status, status) << said.toStdString();
        EXPECT_TRUE(said.contains(says)) << said.toStdString();
        return said;
    }

    QTemporaryDir m_dir;
    PgServer m_server;
};

TEST_F(Plant, RunsStoredWhileTheServerIsDown_ArriveOnceItIsUp)
{
    auto own = station(m_dir.filePath("runs.sqlite"));
    std::vector<RunRecord> runs;
    for (int i = 0; i < 3; ++i) {
        runs.push_back(madeRun("station-a", i));
        ASSERT_TRUE(RunStore(*own).put(runs.back()));
    }

    // Down: one clear message naming the plant; the runs stay in the outbox.
    auto unreachable = RunDatabase::openPlant(m_server.connection());
    ASSERT_FALSE(unreachable);
    EXPECT_NE(unreachable.error().find("cannot connect to the plant database plant on 127.0.0.1"),
              std::string::npos)
        << unreachable.error();
    EXPECT_EQ(Outbox(*own, kRunTable).waiting()->size(), 3U);

    m_server.start();

    PlantSender sender(m_dir.filePath("runs.sqlite"), m_server.connection());
    std::vector<int> sent;
    QObject::connect(&sender, &PlantSender::sent, [&sent](int count) { sent.push_back(count); });
    sender.send();
    sender.send(); // nothing waits any more: nothing goes twice
    EXPECT_EQ(sent, std::vector<int>{3});
    EXPECT_TRUE(Outbox(*own, kRunTable).waiting()->empty());
    expectInPlantOnce(m_server, runs);

    // A serial given later follows the run through the outbox; the rest of it stays as it was.
    ASSERT_TRUE(RunStore(*own).setSerial(runs[1].id, "L-4711"));
    runs[1].serial = "L-4711";
    sender.send();
    expectInPlantOnce(m_server, runs);

    // A plant of a newer schema is left alone, with a message that says why.
    m_server.psql("UPDATE velmaro_schema SET version = 99");
    auto newer = RunDatabase::openPlant(m_server.connection());
    ASSERT_FALSE(newer);
    EXPECT_NE(newer.error().find(QStringLiteral("schema version 99, newer than the %1 this Velmaro "
                                                "knows")
                                     .arg(schema::version())
                                     .toStdString()),
              std::string::npos)
        << newer.error();
}

TEST_F(Plant, ServerKilledMidSend_NoRunLostAndNoneTwice)
{
    const QString path = m_dir.filePath("runs.sqlite");
    std::vector<RunRecord> runs;
    {
        auto own = station(path);
        for (int i = 0; i < 24; ++i) {
            runs.push_back(madeRun("station-a", i, 1 << 20));
            ASSERT_TRUE(RunStore(*own).put(runs.back()));
        }
    }
    m_server.start();

    // A run that reached the plant but was never marked as sent goes again, changing nothing.
    {
        auto target = plant(m_server);
        ASSERT_TRUE(RunStore(*target).put(runs[0]));
        ASSERT_TRUE(RunStore(*target).put(runs.back()));
    }
    std::optional<RowHeld> last(std::in_place, m_server, "runs", runs.back().id);
    // Killed once a few runs have gone; the held last one cannot go before.
    killMidSend(path, last, kRunTable, runs.size() - 3);
    auto watcher = station(path);
    const std::size_t left = Outbox(*watcher, kRunTable).waiting()->size();
    auto target = plant(m_server);
    auto resent = sendWaiting(*watcher, *target);
    ASSERT_TRUE(resent) << resent.error();
    EXPECT_EQ(static_cast<std::size_t>(*resent), left);
    EXPECT_TRUE(Outbox(*watcher, kRunTable).waiting()->empty());
    expectInPlantOnce(m_server, runs);
}

TEST_F(Plant, CamTablesCutShortMidSend_EachArrivesOnceWhole)
{
    // This user's station, so that the real velmaro-report --sync sends what the cut left.
    QTemporaryDir home;
    const QString path = home.filePath("data/velmaro/runs.sqlite");
    constexpr int kTables = 600;
    runs::CamRecord lastTable;
    {
        auto own = station(path);
        ASSERT_TRUE(RunStore(*own).put(madeRun("station-a", 0)));
        for (int i = 0; i < kTables; ++i) {
            lastTable = testsupport::madeCam(testsupport::camBytes(i), i, "station-a",
                                             QStringLiteral("L-%1").arg(i % 7));
            ASSERT_TRUE(CamStore(*own).keep(lastTable));
        }
    }
    m_server.start();
    ASSERT_TRUE(CamStore(*plant(m_server)).keep(lastTable));
    std::optional<RowHeld> last(std::in_place, m_server, "cam_records", lastTable.id);
    killMidSend(path, last, kCamTable, kTables - 20);
    auto watcher = station(path);
    report(home, m_server.connection(), {"--sync"}, "");
    EXPECT_TRUE(Outbox(*watcher, kCamTable).waiting()->empty());
    EXPECT_EQ(m_server.psql("SELECT count(*), count(DISTINCT id) FROM cam_records WHERE "
                            "encode(sha256(bytes), 'hex') = digest"),
              QStringLiteral("%1|%1").arg(kTables));
    report(home, m_server.connection(), {"--cams", "--serial", "L-3"},
           "86 cam table(s) in the plant database");
}

TEST_F(Plant, TwoStationsIntoOnePlant_HistoryShowsBoth)
{
    m_server.start();
    // Station A is this user's own (the data home's velmaro/runs.sqlite), station B another's.
    QTemporaryDir home;
    const QString ownPath = home.filePath("data/velmaro/runs.sqlite");
    const QString otherPath = m_dir.filePath("b.sqlite");
    for (const auto &[path, name] : {std::pair{ownPath, "station-a"}, {otherPath, "station-b"}}) {
        auto own = station(path);
        ASSERT_TRUE(RunStore(*own).put(madeRun(name, 0, 500, QStringLiteral("%1-1").arg(name))));
        ASSERT_TRUE(RunStore(*own).put(madeRun(name, 1, 500, QStringLiteral("%1-2").arg(name))));
        auto sent = sendWaiting(*own, *plant(m_server));
        ASSERT_TRUE(sent);
        EXPECT_EQ(*sent, 2);
    }

    const QString address = m_server.connection();
    const QString history =
        report(home, address, {"--history"}, "4 run(s) in the plant database plant on 127.0.0.1");
    for (const char *name : {"station-a", "station-b"})
        EXPECT_TRUE(history.contains(
            QRegularExpression(QStringLiteral(R"(2026-12-01  %1 +1 +1 +0)").arg(name))))
            << history.toStdString();
    // Four serials, each first run in the week of 1 and 2 December; the odd ones had an error.
    EXPECT_TRUE(history.contains(QRegularExpression(R"(2026-W49 +4 +2 +50\.0%)")))
        << history.toStdString();

    const QString local = report(home, address, {"--runs", "--local"}, "station-a ");
    EXPECT_EQ(local.count("station-a "), 2) << local.toStdString();
    EXPECT_FALSE(local.contains("station-b"));

    // The settings file names the plant when the environment does not.
    const QByteArray settings = "[General]\nVELMARO_RUNS_DB=\"" + address.toUtf8() + "\"\n";
    ASSERT_TRUE(testsupport::writeFile(home.filePath("config/velmaro/velmaro.conf"), settings));
    report(home, {}, {"--runs", "--serial", "station-b-2"}, "1 run(s) in the plant database");
}

TEST_F(Plant, TheAddressFormReachesThePlantWithItsUserAndPasswordAndNeverShowsThePassword)
{
    m_server.start();
    m_server.addPasswordLogin("reader", "p@ss:w/rd");
    QTemporaryDir home;
    {
        auto own = station(home.filePath("data/velmaro/runs.sqlite"));
        ASSERT_TRUE(RunStore(*own).put(madeRun("station-a", 3, 500, "L-4711")));
    }
    const auto address = [this](const QString &scheme, const QString &password) {
        return scheme + "://reader:" + password + "@127.0.0.1:" + QString::number(m_server.port()) +
               "/plant";
    };
    const QString password = QStringLiteral("p%40ss%3Aw%2Frd"); // "p@ss:w/rd", as a URL holds it

    report(home, address("postgresql", password), {"--sync"},
           "1 record(s) sent to the plant database plant on 127.0.0.1");
    // The login named in the address made the schema, with the password it gave.
    EXPECT_EQ(m_server.psql("SELECT tableowner FROM pg_tables WHERE tablename = 'runs'"), "reader");
    EXPECT_EQ(m_server.psql("SELECT serial FROM runs"), "L-4711");

    report(home, address("postgres", password), {"--runs"},
           "1 run(s) in the plant database plant on 127.0.0.1");

    const QString why = report(home, address("postgresql", "Zq7-not-it"), {"--runs"},
                               "the plant database plant on 127.0.0.1", 2);
    EXPECT_FALSE(why.contains("Zq7")) << why.toStdString();
}

} // namespace
} // namespace runs::test
