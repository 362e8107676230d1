// How the real serial exchange compares with the fixed waits it runs inside: the position query
// over a pseudo-terminal against velmaro-sim, as a ratio to its 20 ms wait, without and with the
// wire trace, and the bare round trip of one line. Prints figures; asserts nothing.
#include "link/channel.h"
#include "link/qtseriallink.h"
#include "link/tracinglink.h"
#include "platform/clock.h"
#include "testsupport/fakelink.h"

#include "simulatorprocess.h"

#include <QCoreApplication>
#include <QThread>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

namespace {

constexpr int kPort = 1;
constexpr double kPositionWaitMs = 20.0;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void queryPositions(benchmark::State &state, comm::SerialLink &serial)
{
    if (const base::Status opened = serial.open(kPort); !opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    platform::RealClock clock;
    testsupport::RecordingTone tone;
    comm::CommandChannel channel(serial, clock, tone);
    double totalMs = 0;
    int noValue = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const std::string position = channel.QueryPosition("X");
        totalMs += millisecondsSince(start);
        noValue += position == comm::kNoValue ? 1 : 0;
        benchmark::DoNotOptimize(position);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["ratio_to_20ms_wait"] = totalMs / iterations / kPositionWaitMs;
    state.counters["no_value"] = noValue;
}

void BM_QueryPosition(benchmark::State &state)
{
    comm::QtSerialLink serial;
    queryPositions(state, serial);
}
BENCHMARK(BM_QueryPosition)->Iterations(500)->Unit(benchmark::kMillisecond);

// The same with `velmaro --trace`: every line and answer appended to a file and flushed.
void BM_QueryPositionTraced(benchmark::State &state)
{
    std::error_code error;
    const std::string path =
        std::filesystem::temp_directory_path(error) / "channel_bench_trace.txt";
    const auto trace = comm::WireTrace::open(path);
    if (!trace) {
        state.SkipWithError(trace.error().c_str());
        return;
    }
    comm::TracingLink serial(std::make_unique<comm::QtSerialLink>(), **trace);
    queryPositions(state, serial);
    std::filesystem::remove(path, error);
}
BENCHMARK(BM_QueryPositionTraced)->Iterations(500)->Unit(benchmark::kMillisecond);

// One line out, its whole answer back: what the 20 ms wait has to cover.
void BM_LineRoundTrip(benchmark::State &state)
{
    comm::QtSerialLink serial;
    if (const base::Status opened = serial.open(kPort); !opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    double worstMs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (const base::Status written = serial.write("TPX\r"); !written) {
            state.SkipWithError(written.error().c_str());
            return;
        }
        std::string answer;
        while (answer.size() < 2 || answer.compare(answer.size() - 2, 2, "\r\n") != 0) {
            if (serial.bytesWaiting() > 0)
                answer += serial.takeAll();
            else
                QThread::usleep(20);
            if (millisecondsSince(start) > 1000) {
                state.SkipWithError("no answer within a second");
                return;
            }
        }
        worstMs = std::max(worstMs, millisecondsSince(start));
    }
    state.counters["worst_ms"] = worstMs;
}
BENCHMARK(BM_LineRoundTrip)->Iterations(1000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bench::SimulatorProcess simulator(kPort);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
