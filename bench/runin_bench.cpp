// How long the running-in step test takes with the real clock over a pseudo-terminal against
// velmaro-sim, as a ratio to what it cannot go below: its fixed waits plus the time the axes move.
// The 100 ms tick comes on top of both, so the ratio shows what the tick rhythm and the serial
// line add. Prints figures; asserts nothing.
#include "runin/sequencer.h"

#include "link/channel.h"
#include "link/qtseriallink.h"
#include "platform/clock.h"
#include "sim/controller.h"
#include "testsupport/fakelink.h"

#include "simulatorprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kPort = 1;
constexpr double kTimeScale = 10.0; // moves run this many times faster than on the lens
constexpr platform::Millis kTick{100};

QString g_wireLog; // every line the simulator receives

// The real clock, adding up every wait asked of it.
class CountingClock final : public platform::Clock
{
public:
    void sleep(platform::Millis duration) override
    {
        m_waited += duration;
        m_clock.sleep(duration);
    }
    [[nodiscard]] platform::Millis now() const override { return m_clock.now(); }
    [[nodiscard]] platform::Millis waited() const { return m_waited; }

private:
    platform::RealClock m_clock;
    platform::Millis m_waited{0};
};

// The running-in frame without a window: Timer3 is a real 100 ms timer, the rest is dropped.
class TimerView final : public runin::RunInView
{
public:
    explicit TimerView(QEventLoop &loop) : m_loop(loop) { m_timer.setTimerType(Qt::PreciseTimer); }

    void setTick(const std::function<void()> &tick)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_loop, [this, tick] {
            ++ticks;
            tick();
        });
    }

    void setLabelStep1(const QString &) override {}
    void setLabelStep2(const QString &) override {}
    void setLabelCycles(const QString &) override {}
    void setLight(runin::Light, bool) override {}
    void addListItem(const QString &text) override { list.push_back(text); }
    bool fullStrokeTicked() override { return false; }
    void lockControls() override {}
    void unlockControls() override {}
    void startTicking() override { m_timer.start(static_cast<int>(kTick.count())); }
    void stopTicking() override
    {
        m_timer.stop();
        m_loop.quit();
    }

    int ticks = 0;
    std::vector<QString> list;

private:
    QEventLoop &m_loop;
    QTimer m_timer;
};

// Motion time of a list of move lines at the benchmark's time scale: each starts from rest, as
// the sequencer waits for standstill before the next.
platform::Millis motionTime(const std::vector<std::string> &moves)
{
    sim::MotionProfile profile;
    profile.timeScale = kTimeScale;
    sim::Controller controller({}, profile);
    platform::Millis now{0};
    platform::Millis moving{0};
    for (const std::string &line : moves) {
        controller.receive(line + "\r", now);
        for (;;) {
            now += platform::Millis(1);
            controller.advanceTo(now);
            bool any = false;
            for (int axis = 0; axis < 4; ++axis)
                any = any || controller.isMoving(axis);
            if (!any)
                break;
            moving += platform::Millis(1);
        }
    }
    return moving;
}

void BM_StepTest(benchmark::State &state)
{
    QTemporaryDir logs; // the run's log files go here
    const QString home = QDir::currentPath();
    QDir::setCurrent(logs.path());

    comm::QtSerialLink serial;
    if (const base::Status opened = serial.open(kPort); !opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    CountingClock clock;
    testsupport::RecordingTone tone;
    comm::CommandChannel channel(serial, clock, tone);
    QEventLoop loop;
    TimerView view(loop);
    runin::Sequencer sequencer(channel, clock, tone, view);
    view.setTick([&sequencer] { sequencer.tick(); });

    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        sequencer.start(true);
        loop.exec();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    QDir::setCurrent(home);

    // The move lines as the simulator received them.
    std::vector<std::string> moves;
    QFile wire(g_wireLog);
    if (wire.open(QIODevice::ReadOnly)) {
        for (const QByteArray &entry : wire.readAll().split('\n')) {
            const QByteArray line = entry.mid(entry.indexOf('\t') + 1);
            if (!line.isEmpty() && !line.startsWith("TP") && !line.startsWith("erorre"))
                moves.push_back(line.toStdString());
        }
    }

    const double waits = std::chrono::duration<double>(clock.waited()).count();
    const double motion = std::chrono::duration<double>(motionTime(moves)).count();
    state.counters["seconds"] = seconds;
    state.counters["fixed_waits_s"] = waits;
    state.counters["motion_s"] = motion;
    state.counters["ticks"] = view.ticks;
    state.counters["ratio"] = seconds / (waits + motion);
    state.counters["moves"] = static_cast<double>(moves.size());
    state.counters["list_items"] = static_cast<double>(view.list.size());
}
BENCHMARK(BM_StepTest)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QTemporaryDir wireDir;
    g_wireLog = wireDir.filePath("wire.log");
    const bench::SimulatorProcess simulator(
        kPort, {"--time-scale", QString::number(kTimeScale), "--log", g_wireLog});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
