// velmaro-plant when things go wrong: the database goes away and comes back, clients stall, the
// port is taken, the program is told to end.
#include "plantprocess.h"
#include "plantrecords.h"

#include "testsupport/pgserver.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>
#include <vector>

namespace plant::test {
namespace {

using testsupport::PgServer;

int stalledClient(int port)
{
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        const char half[] = "GET / HTTP/1.1\r\nHost: x\r\n"; // and never the blank line
        [[maybe_unused]] auto sent = ::send(sock, half, sizeof half - 1, 0);
    }
    return sock;
}

// A statement past its lock timeout and a damaged run answer with their own status on the same
// connection; a database stopped while running answers 503, and a new connection brings it back.
TEST(PlantFaults, EachFailureAnswersByItsKind_ALostDatabaseComesBackWithoutARestart)
{
    PgServer server;
    server.start();
    // A SELECT-only user, as the README grants it.
    server.psql("CREATE ROLE viewer LOGIN PASSWORD 'hunter2'");
    {
        auto records = runs::RunDatabase::openPlant(server.connection());
        ASSERT_TRUE(records) << records.error();
        ASSERT_TRUE(storePlant(**records, QDateTime::currentDateTime()));
    }
    server.psql(
        "UPDATE runs SET log_complete = decode('00000001ff', 'hex') WHERE id LIKE 'c0000005%'");
    server.psql("ALTER ROLE viewer SET lock_timeout = '300ms'");
    for (const char *grant :
         {"GRANT CONNECT ON DATABASE plant TO viewer", "GRANT USAGE ON SCHEMA public TO viewer",
          "GRANT SELECT ON ALL TABLES IN SCHEMA public TO viewer",
          "ALTER DEFAULT PRIVILEGES FOR ROLE velmaro IN SCHEMA public GRANT SELECT ON TABLES TO "
          "viewer"})
        server.psql(grant);
    PlantProcess plant(server.connection("viewer") + " password=hunter2");
    ASSERT_TRUE(plant.ready()) << plant.process().readAllStandardError().toStdString();
    plant.http().set_keep_alive(true); // one thread of the plant answers, on one connection
    const auto expect = [&plant](const char *path, int status, const std::string &says) {
        auto res = plant.http().Get(path);
        const std::string body = res ? res->body : std::string();
        EXPECT_EQ(res ? res->status : 0, status) << path;
        EXPECT_NE(body.find(says), std::string::npos) << path << "\n" << body;
        EXPECT_EQ(body.find("hunter2"), std::string::npos);
        EXPECT_EQ(body.find("127.0.0.1"), std::string::npos) << path << ": names the database";
        return body;
    };
    // The server's log names what failed; the page says only that the records cannot be read.
    QByteArray log;
    const auto logSays = [&plant, &log](const char *text) {
        while (!log.contains(text) && plant.process().waitForReadyRead(30000))
            log += plant.process().readAllStandardError();
        return log.contains(text);
    };
    plant.process().setReadChannel(QProcess::StandardError);
    expect("/runs/aaaa0002", 200, "aaaa0002-0000-4000-8000-000000000002");
    expect("/runs/c0000005", 500, "the run c0000005-0000-4000-8000-000000000005");
    expect("/runs/c0000005/complete.log", 500, "the run c0000005-0000-4000-8000-000000000005");
    expect("/api/runs/c0000005", 200, "\"id\": \"c0000005-0000-4000-8000-000000000005\"");
    const QString connections("SELECT string_agg(pid::text, ',' ORDER BY pid) FROM "
                              "pg_stat_activity WHERE usename = 'viewer'");
    const QString connected = server.psql(connections);
    QProcess locker;
    server.startPsql(locker, "BEGIN; LOCK TABLE runs; SELECT pg_sleep(600)");
    for (int i = 0; i < 300 && server.psql("SELECT count(*) FROM pg_locks WHERE relation = "
                                           "'runs'::regclass AND granted") != "1";
         ++i)
        QThread::msleep(100);
    // Each statement waits for the lock once, on the same connection.
    EXPECT_EQ(expect("/runs/aaaa0002", 503, "The run records cannot be read now.").find("timeout"),
              std::string::npos);
    expect("/runs?station=bench-1", 503, "The run records cannot be read now.");
    EXPECT_TRUE(logSays("lock timeout")) << log.toStdString();
    QFile serverLog(server.logFile());
    ASSERT_TRUE(serverLog.open(QIODevice::ReadOnly));
    EXPECT_EQ(serverLog.readAll().count("canceling statement due to lock timeout"), 2);
    server.psql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE "
                "'%pg_sleep(600)' AND pid <> pg_backend_pid()");
    ASSERT_TRUE(locker.waitForFinished(30000));
    expect("/runs/aaaa0002", 200, "aaaa0002-0000-4000-8000-000000000002");
    EXPECT_EQ(server.psql(connections).toStdString(), connected.toStdString());

    server.kill();
    // Where the records are and who reads them is for the log alone.
    for (const char *path : {"/", "/runs/aaaa0002", "/quality", "/runs.csv"})
        for (const char *secret : {"127.0.0.1", "viewer", "plant on"})
            EXPECT_EQ(expect(path, 503, "The run records cannot be read now.").find(secret),
                      std::string::npos);
    EXPECT_TRUE(logSays("plant on 127.0.0.1")) << log.toStdString();

    server.start();
    expect("/runs/aaaa0002", 200, "aaaa0002-0000-4000-8000-000000000002");
    EXPECT_EQ(plant.process().state(), QProcess::Running);

    // Stuck clients hold threads of their own, never the page.
    std::vector<int> stalled;
    for (int i = 0; i < 10; ++i)
        stalled.push_back(stalledClient(plant.port()));
    std::vector<std::future<int>> answers;
    for (int i = 0; i < 8; ++i)
        answers.push_back(std::async(std::launch::async, [&plant] {
            httplib::Client client("127.0.0.1", plant.port());
            client.set_read_timeout(60);
            auto res = client.Get("/quality");
            return res ? res->status : 0;
        }));
    for (auto &answer : answers)
        EXPECT_EQ(answer.get(), 200);
    for (const int sock : stalled)
        ::close(sock);

    plant.process().terminate(); // SIGTERM
    ASSERT_TRUE(plant.process().waitForFinished(30000));
    EXPECT_EQ(plant.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(plant.process().exitCode(), 0);
}

TEST(PlantFaults, ClientsThatTrickleTheirHeadsHoldUpNoOtherRequestAndAreCutAtTheDeadline)
{
    PlantProcess plant(QString(), {"--local"});
    ASSERT_TRUE(plant.ready());
    std::vector<int> trickling;
    for (int i = 0; i < 32; ++i)
        trickling.push_back(stalledClient(plant.port()));
    std::promise<void> stop;
    std::thread trickle([&trickling, stopped = stop.get_future()] {
        do
            for (const int sock : trickling)
                ::send(sock, "X", 1, MSG_NOSIGNAL);
        while (stopped.wait_for(std::chrono::seconds(4)) != std::future_status::ready);
    });
    auto answered = plant.http().Get("/runs");
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->status, 200);
    // The server ends the connection: the trickler reads its end.
    timeval generous{30, 0};
    setsockopt(trickling.front(), SOL_SOCKET, SO_RCVTIMEO, &generous, sizeof generous);
    char byte = 0;
    const auto got = ::recv(trickling.front(), &byte, 1, 0);
    EXPECT_TRUE(got == 0 || (got < 0 && errno == ECONNRESET)) << got << " " << errno;
    stop.set_value();
    trickle.join();
    for (const int sock : trickling)
        ::close(sock);
}

TEST(PlantFaults, TakenPortOrUnreadableDatabaseAtStartEndsWith2NamingIt)
{
    PlantProcess first(QString(), {"--local"});
    ASSERT_TRUE(first.ready());

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", first.home() + "/data");
    env.remove("VELMARO_RUNS_DB");
    second.setProcessEnvironment(env);
    second.start(VELMARO_PLANT_PATH,
                 {"--listen", QStringLiteral("127.0.0.1:%1").arg(first.port())});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 2);
    EXPECT_TRUE(second.readAllStandardError().contains(
        QStringLiteral("cannot listen on 127.0.0.1:%1").arg(first.port()).toUtf8()));
    env.insert("VELMARO_YIELD_TARGET", "95 %");
    second.setProcessEnvironment(env);
    second.start(VELMARO_PLANT_PATH, {"--listen", "127.0.0.1:0"});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 2);
    EXPECT_TRUE(second.readAllStandardError().contains("VELMARO_YIELD_TARGET '95 %' is not a"));

    PgServer stopped; // made, never started
    PlantProcess unreachable(stopped.connection());
    EXPECT_FALSE(unreachable.ready());
    EXPECT_EQ(unreachable.process().exitCode(), 2);
    EXPECT_TRUE(unreachable.process().readAllStandardError().contains(
        "cannot connect to the plant database plant on 127.0.0.1"));

    ::kill(static_cast<pid_t>(first.process().processId()), SIGINT);
    ASSERT_TRUE(first.process().waitForFinished(30000));
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0);
}

} // namespace
} // namespace plant::test
