// Figures for the run records: how long the window is held up while a 24-hour run is stored, how
// soon the first tick follows START after it, and while a run's progress goes to a plant that is
// down; how many runs a second go to PostgreSQL on loopback, and how long --history takes over
// 10,000 runs; for the kept cam tables, the window's longest wait while saves are kept and
// --cams over 10,000.
#include "runs/camstore.h"
#include "runs/plantsender.h"
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "runs/runstore.h"
#include "testsupport/pgserver.h"
#include "testsupport/records.h"
#include "testsupport/silentserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

QByteArray dayLog(int lines)
{
    QByteArray log;
    for (int i = 0; i < lines; ++i)
        log += QByteArray("05/12/26  21:") + QByteArray::number(10 + i % 50) +
               "  Zoom 1 Axis Full stroke test ascending  Position reached: " +
               QByteArray::number(8000 + i % 977) + "\r\n";
    return log;
}

qint64 percentile99(std::vector<qint64> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() * 99 / 100);
}

void windowHoldUp()
{
    QTemporaryDir dir;
    QFile complete(dir.filePath("Log Complete.txt"));
    complete.open(QIODevice::WriteOnly);
    complete.write(dayLog(100000));
    complete.close();
    QFile(dir.filePath("Log Errors.txt")).open(QIODevice::WriteOnly);

    runs::RunKeeper keeper(
        runs::KeeperSetup{dir.filePath("runs.sqlite"), {}, dir.path(), "bench", "op", "1.2.0", [] {
                              return QString("COM1");
                          }});
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    std::vector<qint64> gaps;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.nsecsElapsed());
        gaps.push_back(sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    ticker.start(1);
    QEventLoop settle;
    QTimer::singleShot(50, &settle, &QEventLoop::quit);
    settle.exec();
    longestGap = 0;
    gaps.clear();

    QElapsedTimer call;
    call.start();
    keeper.runStarted(false, true);
    keeper.runEnded(runin::RunEnding::Aborted, 250);
    const double endCall = static_cast<double>(call.nsecsElapsed()) / 1e6;
    call.restart();
    // START waits here for the store, with the window's events going on.
    const base::Status kept = keeper.keepPreviousRun();
    const double startWait = static_cast<double>(call.nsecsElapsed()) / 1e6;
    std::printf(
        "Storing a 100,000-line run (%.1f MB of log): runEnded returns in %.2f ms; START "
        "waits %.0f ms for the store with the window running (%s); longest gap between "
        "1 ms ticks of the window's event loop meanwhile: %.2f ms (99th percentile %.2f ms, "
        "%zu ticks)\n",
        static_cast<double>(complete.size()) / 1e6, endCall, startWait,
        kept ? "stored" : kept.error().c_str(), static_cast<double>(longestGap) / 1e6,
        static_cast<double>(percentile99(gaps)) / 1e6, gaps.size());

    // START again over the same logs: once with the keeper that stored them, once with a keeper
    // just started (as after a restart), which must read and digest them and ask the database.
    const auto firstTick = [&dir](runs::RunKeeper &startedBy) {
        QElapsedTimer click;
        click.start();
        const base::Status checked = startedBy.keepPreviousRun();
        const double checkMs = static_cast<double>(click.nsecsElapsed()) / 1e6;
        // Timer3 starts once the check has passed; its first tick is one interval later.
        QEventLoop untilTick;
        QTimer::singleShot(std::chrono::milliseconds(100), Qt::PreciseTimer, &untilTick,
                           &QEventLoop::quit);
        untilTick.exec();
        std::printf("  the check %.2f ms (%s), the first tick %.1f ms after the click\n", checkMs,
                    checked ? "nothing to store" : checked.error().c_str(),
                    static_cast<double>(click.nsecsElapsed()) / 1e6);
    };
    std::printf("START after that run, with the keeper that stored it:\n");
    firstTick(keeper);
    runs::RunKeeper restarted(
        runs::KeeperSetup{dir.filePath("runs.sqlite"), {}, dir.path(), "bench", "op", "1.2.0", {}});
    std::printf("START after that run, first START after a restart:\n");
    firstTick(restarted);
}

// A run whose every step is due to send its progress (the steps' clock moves a minute a step),
// stepped every 5 ms for 2 s, ended, and the next START, while the plant cannot be reached.
void progressToADownPlant(const char *how, const QString &plant)
{
    QTemporaryDir dir;
    runs::RunKeeper keeper(runs::KeeperSetup{dir.filePath("runs.sqlite"), plant, dir.path(),
                                             "bench", "op", "1.2.0", [] { return QString(); }});
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    ticker.start(1);
    QEventLoop settle;
    QTimer::singleShot(50, &settle, &QEventLoop::quit);
    settle.exec();
    longestGap = 0;

    qint64 longestCall = 0;
    const auto timed = [&longestCall](const auto &call) {
        QElapsedTimer timer;
        timer.start();
        call();
        longestCall = std::max(longestCall, timer.nsecsElapsed());
    };
    timed([&] { keeper.runStarted(false, true); });
    int step = 0;
    QTimer stepper;
    QEventLoop run;
    QObject::connect(&stepper, &QTimer::timeout, [&] {
        timed([&] {
            keeper.runProgressed({step / 6,
                                  {step % 3, 0, 0, 0},
                                  QDateTime::currentDateTimeUtc(),
                                  std::chrono::minutes(step)});
        });
        if (++step == 400)
            run.quit();
    });
    stepper.start(5);
    run.exec();
    stepper.stop();
    timed([&] { keeper.runEnded(runin::RunEnding::Aborted, step / 6); });
    QElapsedTimer start;
    start.start();
    (void)keeper.keepPreviousRun();
    std::printf("Progress of a run to a plant that is down (%s): %d snapshots due; the longest "
                "of the keeper's calls on the window's thread %.3f ms, START's wait for the "
                "store %.1f ms; longest gap between 1 ms ticks of its event loop %.2f ms\n",
                how, step + 2, static_cast<double>(longestCall) / 1e6,
                static_cast<double>(start.nsecsElapsed()) / 1e6,
                static_cast<double>(longestGap) / 1e6);
}

void progressToDownPlants()
{
    const QString plant = QStringLiteral("host=127.0.0.1 port=%1 dbname=plant user=velmaro");
    int closedPort = 0;
    {
        const testsupport::SilentServer probe;
        closedPort = probe.port(); // refused once it is closed
    }
    progressToADownPlant("connection refused", plant.arg(closedPort));
    testsupport::SilentServer silent;
    progressToADownPlant("a server that never answers, 5 s connect timeout",
                         plant.arg(silent.port()));
}

void runsPerSecond()
{
    testsupport::PgServer server;
    server.start();
    QTemporaryDir dir;
    auto station = runs::RunDatabase::openStation(dir.filePath("runs.sqlite"));
    constexpr int kRuns = 300;
    for (int i = 0; i < kRuns; ++i)
        (void)runs::RunStore(**station).put(testsupport::madeRun("bench", i, 20000));
    auto plant = runs::RunDatabase::openPlant(server.connection());
    if (!plant) {
        std::printf("PostgreSQL: %s\n", plant.error().c_str());
        return;
    }
    QElapsedTimer timer;
    timer.start();
    const auto sent = runs::sendWaiting(**station, **plant);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("Sent %d runs with 20 kB logs to PostgreSQL on loopback in %.2f s: %.0f runs/s\n",
                sent ? *sent : -1, seconds, (sent ? *sent : 0) / seconds);
}

void historyOverManyRuns()
{
    QTemporaryDir home;
    const QString path = home.filePath("data/velmaro/runs.sqlite");
    {
        auto station = runs::RunDatabase::openStation(path);
        for (int i = 0; i < 10000; ++i)
            (void)runs::RunStore(**station).put(testsupport::madeRun(
                i % 2 ? "bench-1" : "bench-2", i, 200, QStringLiteral("L-%1").arg(i / 3)));
    }
    QProcess report;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    report.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    report.start(VELMARO_REPORT_PATH, {"--history", "--local"});
    report.waitForFinished(120000);
    std::printf("velmaro-report --history --local over 10,000 runs: %.2f s (status %d)\n",
                static_cast<double>(timer.nsecsElapsed()) / 1e9, report.exitCode());
}

// The window's event loop while saves hand their tables to the keeper: the keeper's thread must
// take the database work, so the loop's 1 ms ticks keep coming.
void camSaveHoldUp()
{
    QTemporaryDir dir;
    runs::RunKeeper keeper(
        runs::KeeperSetup{dir.filePath("runs.sqlite"), {}, dir.path(), "bench", "op", "1.2.0", [] {
                              return QString("COM1");
                          }});
    QElapsedTimer sinceTick;
    std::vector<qint64> gaps;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        gaps.push_back(sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    ticker.start(1);
    QEventLoop settle;
    QTimer::singleShot(50, &settle, &QEventLoop::quit);
    settle.exec();
    // The same loop without saves first: what a busy machine costs it anyway.
    gaps.clear();
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    idle.exec();
    const qint64 idleLongest = *std::max_element(gaps.begin(), gaps.end());
    const qint64 idle99 = percentile99(gaps);
    gaps.clear();

    constexpr int kSaves = 200;
    int answered = 0;
    qint64 longestCall = 0;
    QElapsedTimer all;
    all.start();
    for (int i = 0; i < kSaves; ++i) {
        QElapsedTimer call;
        call.start();
        keeper.keepCamTable(testsupport::camBytes(i), 86,
                            [&answered](const base::Status &) { ++answered; });
        longestCall = std::max(longestCall, call.nsecsElapsed());
        // A save every 2 ms of the window's time, far more often than a hand presses the button.
        QEventLoop between;
        QTimer::singleShot(2, &between, &QEventLoop::quit);
        between.exec();
    }
    while (answered < kSaves)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("Keeping %d saved cam tables: the save's hand-over returns in at most %.3f ms; "
                "all kept after %.2f s; longest gap between 1 ms ticks of the window's event "
                "loop meanwhile: %.2f ms (99th percentile %.2f ms, %zu ticks); without saves, for "
                "1 s: %.2f ms (99th percentile %.2f ms)\n",
                kSaves, static_cast<double>(longestCall) / 1e6,
                static_cast<double>(all.nsecsElapsed()) / 1e9,
                static_cast<double>(*std::max_element(gaps.begin(), gaps.end())) / 1e6,
                static_cast<double>(percentile99(gaps)) / 1e6, gaps.size(),
                static_cast<double>(idleLongest) / 1e6, static_cast<double>(idle99) / 1e6);
}

void camsOverManyTables()
{
    QTemporaryDir home;
    const QString path = home.filePath("data/velmaro/runs.sqlite");
    {
        auto station = runs::RunDatabase::openStation(path);
        for (int i = 0; i < 10000; ++i) {
            (void)runs::CamStore(**station).put(testsupport::madeCam(
                testsupport::camBytes(i), 600LL * i, "bench", QStringLiteral("L-%1").arg(i / 2)));
        }
    }
    QProcess report;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    report.setProcessEnvironment(environment);
    for (const QStringList &arguments : {QStringList{"--cams", "--local"},
                                         QStringList{"--cams", "--serial", "L-2500", "--local"}}) {
        QElapsedTimer timer;
        timer.start();
        report.start(VELMARO_REPORT_PATH, arguments);
        report.waitForFinished(120000);
        const QByteArray listed = report.readAllStandardOutput();
        std::printf("velmaro-report %s over 10,000 kept cam tables: %.2f s (status %d, %lld "
                    "lines)\n",
                    arguments.join(' ').toLocal8Bit().constData(),
                    static_cast<double>(timer.nsecsElapsed()) / 1e9, report.exitCode(),
                    static_cast<long long>(listed.count('\n')));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // "cams" as the argument: only the cam tables' figures.
    if (argc < 2 || std::string_view(argv[1]) != "cams") {
        windowHoldUp();
        progressToDownPlants();
        runsPerSecond();
        historyOverManyRuns();
    }
    camSaveHoldUp();
    camsOverManyTables();
    return 0;
}
