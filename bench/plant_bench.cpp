// Figures for the plant's pages: a PostgreSQL server on loopback holding a year of a plant's
// runs (100,000 runs of 20 stations and 30,000 lenses, and one 24-hour run with its whole log),
// and the time each page's queries take with 8 clients at once; the stored run's PDF report by
// velmaro-report; and, given the path of velmaro-plant, the same pages over HTTP. Prints
// figures, asserts nothing: build/default/bin/plant_bench [path/to/velmaro-plant]
#include "quality/cache.h"
#include "quality/quality.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"
#include "testsupport/logmaker.h"
#include "testsupport/pgserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kRuns = 100'000;
constexpr int kClients = 8;
constexpr int kRoundsPerClient = 6;

void say(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// A year of runs up to now, made by the server itself: station i % 20, lens i * 3 / 10 (about
// three runs each, one after the other, at different stations), one in twenty without a serial,
// one in eight with position errors on one axis, one in thirty stopped by ABORT.
QString fillSql(const QByteArray &packedLog)
{
    const QString hex = QString::fromLatin1(packedLog.toHex());
    QString axes;
    const char *names[] = {"zoom1", "zoom2", "iris", "focus"};
    QString axisValues;
    for (int axis = 0; axis < 4; ++axis) {
        axes += QStringLiteral(", %1_moves, %1_errors, %1_largest").arg(names[axis]);
        axisValues += QStringLiteral(", 400, CASE WHEN fails AND r / 8 %% 4 = %1 THEN 1 + r %% 3 "
                                     "ELSE 0 END, CASE WHEN fails AND r / 8 %% 4 = %1 THEN 12.5 "
                                     "END")
                          .arg(axis);
    }
    axisValues.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return QStringLiteral(
               "INSERT INTO runs (id, station, operator, version, port, started, ended, tests, "
               "cycles, ending, serial, errors%1, digest, log_complete, log_errors, revision, "
               "sent_revision) SELECT md5(i::text)::uuid::text, 'station-' || lpad((i %% "
               "20)::text, "
               "2, '0'), 'op' || (i %% 12), '1.2.0', 'COM1 (/dev/ttyUSB0)', to_char(ts AT TIME "
               "ZONE "
               "'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), to_char((ts + interval '2 hours') AT "
               "TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), CASE WHEN r / 32 %% 2 = 0 "
               "THEN 'Full stroke' ELSE 'Single Step, Full stroke' END, 20, CASE WHEN r %% 30 = 0 "
               "THEN "
               "'stopped by ABORT' ELSE 'completed' END, CASE WHEN r %% 20 = 7 THEN '' ELSE 'L' || "
               "lpad((i * 3 / 10)::text, 6, '0') END, CASE WHEN fails THEN 1 + r %% 3 ELSE 0 "
               "END%2, md5(i::text), decode('%3', 'hex'), ''::bytea, 1, 1 FROM (SELECT i, now() - "
               "interval '365 days' + i * interval '315 seconds' AS ts, abs(hashtext(i::text)) AS "
               "r, abs(hashtext(i::text)) %% 8 = 3 AS fails FROM generate_series(0, %4) AS i) AS "
               "made")
        .arg(axes, axisValues, hex)
        .arg(kRuns - 1)
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

runs::RunRecord dayRun()
{
    testsupport::LogMaker log;
    log.now = QDateTime::currentDateTime().addDays(-2);
    log.secondsPerLine = 1;
    constexpr int kLinesPerCycle = 8;
    for (int cycle = 0; cycle * kLinesPerCycle < 100'000; ++cycle) {
        log.cycle();
        if (cycle % 900 == 0)
            log.error(runin::kIrisAxis, runin::kStrokeAscending, "17");
    }
    runs::RunRecord run;
    run.id = QStringLiteral("00000000-0000-4000-8000-000000000024");
    run.station = "station-00";
    run.operatorName = "op0";
    run.version = "1.2.0";
    run.port = "COM1 (/dev/ttyUSB0)";
    run.start = QDateTime::currentDateTimeUtc().addDays(-2);
    run.end = run.start.addSecs(24 * 3600);
    run.tests = "Full stroke";
    run.ending = runin::RunEnding::Completed;
    run.serial = "L-DAY";
    run.complete = log.bytes;
    runs::takeFiguresFromLogs(run);
    return run;
}

struct Figures
{
    double p50 = 0, p95 = 0;
};

Figures percentiles(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms.at(ms.size() / 2), ms.at(std::min(ms.size() - 1, ms.size() * 95 / 100))};
}

// Each client its own connection, as each of the server's threads has.
Figures underLoad(const QString &connection, const std::function<bool(runs::RunDatabase &)> &work)
{
    std::vector<std::vector<double>> times(kClients);
    std::vector<std::thread> clients;
    for (int client = 0; client < kClients; ++client)
        clients.emplace_back([&, client] {
            auto plant = runs::RunDatabase::openPlant(connection);
            if (!plant)
                return;
            for (int round = 0; round < kRoundsPerClient; ++round) {
                QElapsedTimer timer;
                timer.start();
                if (!work(**plant))
                    return;
                times[static_cast<std::size_t>(client)].push_back(
                    static_cast<double>(timer.nsecsElapsed()) / 1e6);
            }
        });
    for (auto &client : clients)
        client.join();
    std::vector<double> all;
    for (const auto &each : times)
        all.insert(all.end(), each.begin(), each.end());
    if (all.size() != kClients * kRoundsPerClient)
        say("  (some rounds failed)\n");
    return percentiles(all);
}

void report(const char *what, const Figures &figures)
{
    say(QStringLiteral("  %1  p50 %2 ms  p95 %3 ms\n")
            .arg(QLatin1String(what), -34)
            .arg(figures.p50, 7, 'f', 1)
            .arg(figures.p95, 7, 'f', 1));
}

// One GET on a connection of its own (HTTP/1.0: the server closes it when done); the status.
int get(quint16 port, const QByteArray &path)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int status = 0;
    if (::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        const QByteArray request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(socket, request.constData(), static_cast<std::size_t>(request.size()), 0) ==
            request.size()) {
            QByteArray reply;
            char buffer[65536];
            for (ssize_t got = 0; (got = ::recv(socket, buffer, sizeof buffer, 0)) > 0;)
                reply.append(buffer, got);
            status = reply.mid(9, 3).toInt(); // "HTTP/1.1 200"
        }
    }
    ::close(socket);
    return status;
}

quint16 freePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

Figures overHttp(quint16 port, const QByteArray &path, int clients = kClients,
                 int rounds = kRoundsPerClient)
{
    std::vector<std::vector<double>> times(static_cast<std::size_t>(clients));
    std::vector<std::thread> running;
    std::atomic<int> failed{0};
    for (int client = 0; client < clients; ++client)
        running.emplace_back([&, client] {
            for (int round = 0; round < rounds; ++round) {
                QElapsedTimer timer;
                timer.start();
                if (get(port, path) != 200)
                    ++failed;
                times[static_cast<std::size_t>(client)].push_back(
                    static_cast<double>(timer.nsecsElapsed()) / 1e6);
            }
        });
    for (auto &client : running)
        client.join();
    if (failed > 0)
        say(QStringLiteral("  (%1 answers were not 200)\n").arg(failed.load()));
    std::vector<double> all;
    for (const auto &each : times)
        all.insert(all.end(), each.begin(), each.end());
    return percentiles(all);
}

// The pages themselves, from velmaro-plant on loopback.
void pagesOverHttp(const QString &program, const QString &connection, const QDate &yearAgo,
                   const QStringList &beginnings)
{
    const quint16 port = freePort();
    QProcess plant;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELMARO_RUNS_DB", connection);
    plant.setProcessEnvironment(environment);
    plant.start(program, {"--listen", QStringLiteral("127.0.0.1:%1").arg(port)});
    QByteArray said;
    while (!said.contains("Listening on") && plant.waitForReadyRead(30000))
        said += plant.readAllStandardOutput();
    if (!said.contains("Listening on")) {
        say(QStringLiteral("velmaro-plant did not start: %1\n")
                .arg(QString::fromLocal8Bit(said + plant.readAllStandardError())));
        return;
    }
    say(QStringLiteral("The pages over HTTP from velmaro-plant, %1 clients at once, %2 rounds "
                       "each (the first round fills its caches):\n")
            .arg(kClients)
            .arg(kRoundsPerClient));
    const QByteArray quality = "/quality?since=" + yearAgo.toString(Qt::ISODate).toLatin1();
    for (const QByteArray &path :
         {QByteArray("/"), QByteArray("/runs"), QByteArray("/runs?page=1000"),
          QByteArray("/lenses/L012345"), quality,
          QByteArray("/quality.csv?since=") + yearAgo.toString(Qt::ISODate).toLatin1(),
          QByteArray("/stations/station-07"),
          QByteArray("/api/stations/station-07/errors?axis=zoom1&runs=50"),
          QByteArray("/attention.atom")})
        report(path.constData(), overHttp(port, path));
    // A run by its whole id, by 4 digits that fit it alone (both 200), by 4 that fit several (400).
    for (const QString &id : beginnings)
        for (const QByteArray &page : {QByteArray("/runs/"), QByteArray("/api/runs/")})
            report((page + id.toLatin1()).constData(), overHttp(port, page + id.toLatin1()));
    const QByteArray pdf = "/runs/00000000-0000-4000-8000-000000000024/report.pdf";
    report("/runs/<24-hour run>/report.pdf, alone", overHttp(port, pdf, 1, 3));
    plant.terminate();
    plant.waitForFinished(10000);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testsupport::PgServer server;
    server.start();
    const QString connection = server.connection();
    {
        auto plant = runs::RunDatabase::openPlant(connection);
        if (!plant) {
            say(QString::fromStdString(plant.error()) + u'\n');
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        server.psql(fillSql(runs::packLog("05/12/26  08:00:00  a small log\r\n")));
        const auto day = dayRun();
        if (auto stored = runs::RunStore(**plant).put(day); !stored) {
            say(QString::fromStdString(stored.error()) + u'\n');
            return 1;
        }
        server.psql("VACUUM ANALYZE runs"); // as the server itself soon would
        say(QStringLiteral("%1 runs stored in %2 s (the 24-hour run: %3 log lines)\n")
                .arg(server.psql("SELECT count(*) FROM runs"))
                .arg(static_cast<double>(timer.elapsed()) / 1000.0, 0, 'f', 1)
                .arg(day.complete.count('\n')));
    }

    if (app.arguments().contains(QStringLiteral("--hold"))) {
        // For a look with psql: kept until standard input closes.
        say(connection + u'\n');
        std::getchar();
        return 0;
    }
    say(QStringLiteral("The queries behind each page, %1 clients at once, %2 rounds each:\n")
            .arg(kClients)
            .arg(kRoundsPerClient));
    const QDate today = QDate::currentDate();
    runs::RunFilter thisWeek;
    thisWeek.since = today.addDays(1 - today.dayOfWeek()).startOfDay();
    const auto front = [&](runs::RunDatabase &db, quality::Cache *cache) {
        return runs::RunStore(db).lastRunPerStation() &&
               (cache ? cache->compute(db, thisWeek) : quality::compute(db, thisWeek)) &&
               runs::RunStore(db).page({}, 1, 50);
    };
    report("/ (last per station, week, 50)",
           underLoad(connection, [&](runs::RunDatabase &db) { return front(db, nullptr); }));
    quality::Cache cache;
    (void)front(**runs::RunDatabase::openPlant(connection), &cache); // as after the first visitor
    report("/ with the figures' cache",
           underLoad(connection, [&](runs::RunDatabase &db) { return front(db, &cache); }));
    report("/runs page 1", underLoad(connection, [](runs::RunDatabase &db) {
               return bool(runs::RunStore(db).page({}, 1, 100));
           }));
    report("/runs page 1000 (the last)", underLoad(connection, [](runs::RunDatabase &db) {
               return bool(runs::RunStore(db).page({}, 1000, 100));
           }));
    runs::RunFilter station;
    station.station = "station-07";
    station.verdict = runs::Verdict::Fail;
    report("/runs?station=..&verdict=fail p.5", underLoad(connection, [&](runs::RunDatabase &db) {
               return bool(runs::RunStore(db).page(station, 5, 100));
           }));
    runs::RunFilter lens;
    lens.serial = "L012345";
    report("/lenses/<serial>", underLoad(connection, [&](runs::RunDatabase &db) {
               return bool(runs::RunStore(db).list(lens));
           }));
    runs::RunFilter year;
    year.since = QDateTime::currentDateTime().addDays(-365);
    report("/quality over a year", underLoad(connection, [&](runs::RunDatabase &db) {
               return bool(quality::compute(db, year));
           }));
    (void)cache.compute(**runs::RunDatabase::openPlant(connection), year);
    report("/quality over a year, cached", underLoad(connection, [&](runs::RunDatabase &db) {
               return bool(cache.compute(db, year));
           }));

    // The report of the 24-hour run, as velmaro-report writes it.
    const QTemporaryDir dir;
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELMARO_RUNS_DB", connection);
    environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(VELMARO_REPORT_PATH,
                  {"--run", "00000000-0000-4000-8000-000000000024", "-o", dir.filePath("day.pdf")});
    process.waitForFinished(120000);
    say(QStringLiteral("velmaro-report --run <24-hour run> -o: %1 s (exit %2)\n")
            .arg(static_cast<double>(timer.elapsed()) / 1000.0, 0, 'f', 2)
            .arg(process.exitCode()));

    // Last: velmaro-plant may bring the schema up to a newer version than this build knows.
    if (app.arguments().size() > 1 && !app.arguments().at(1).startsWith(u'-')) {
        // A run whose first 4 digits fit it alone, and 4 digits that fit several.
        const QStringList ids = server
                                    .psql("(SELECT max(id) FROM runs GROUP BY left(id, 4) HAVING "
                                          "count(*) = 1 LIMIT 1) UNION ALL (SELECT left(id, 4) "
                                          "FROM runs GROUP BY 1 HAVING count(*) > 1 LIMIT 1)")
                                    .split(u'\n');
        pagesOverHttp(app.arguments().at(1), connection, year.since.date(),
                      {ids.value(0), ids.value(0).left(4), ids.value(1)});
    } else
        say("(no velmaro-plant given: the pages' functions alone)\n");

    return 0;
}
