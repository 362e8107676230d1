// A plant's records as the README's pictures show them, stored through the stations' own store
// code into the database velmaro-plant reads (VELMARO_RUNS_DB, else this station's runs.sqlite):
// six stations over ten weeks, each lens run again after a failure until it passes or has been
// run three times, at the failure rates of a plant that works. bench-4 drifts on Zoom 1 in its
// latest days; bench-2 and bench-6 run now. The same records on every call:
// build/default/bin/plant_demo
#include "runs/connection.h"
#include "runs/progress.h"
#include "runs/progressstore.h"
#include "runs/rundatabase.h"
#include "runs/runstore.h"
#include "testsupport/logmaker.h"

#include <QCoreApplication>
#include <QUuid>

#include <array>
#include <cstdio>
#include <deque>
#include <random>

namespace {

constexpr int kDays = 70;
constexpr int kStations = 6;
constexpr int kRunsPerDay = 3;
constexpr int kCycles = 12;

const std::array kOperators{"Anna Berg", "Marco Rossi", "Li Wei", "Sofia Lund", "Jonas Keller"};
const std::array kAxisNames{runin::kZoom1Axis, runin::kZoom2Axis, runin::kIrisAxis,
                            runin::kFocusAxis};

struct Plant
{
    std::mt19937 random{2026};
    struct Retest
    {
        QString serial;
        int runs = 0;  // so far
        int after = 0; // the slot after which it is run again: two days later
    };
    std::deque<Retest> retests;
    int lenses = 0;

    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }

    // How likely an axis fails on a station on a day: bench-4's Zoom 1 wears in its last days.
    static double failing(int station, int axis, int day)
    {
        static constexpr std::array kBase{0.015, 0.01, 0.006, 0.012};
        if (station == 4 && axis == 0 && day > kDays - 12)
            return 0.06 + 0.03 * (day - (kDays - 12));
        return kBase.at(static_cast<std::size_t>(axis));
    }

    runs::RunRecord run(int station, int day, int slot, const QDateTime &start)
    {
        runs::RunRecord run;
        run.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        run.station = QStringLiteral("bench-%1").arg(station);
        run.operatorName = QLatin1String(kOperators.at(static_cast<std::size_t>(
            (station + day / 7 + slot) % static_cast<int>(kOperators.size()))));
        run.version = QStringLiteral("1.4.2");
        run.port = QStringLiteral("COM3 (/dev/ttyUSB0)");
        const bool steps = chance(0.3);
        run.tests =
            steps ? QStringLiteral("Single Step, Full stroke") : QStringLiteral("Full stroke");
        run.ending = chance(0.97) ? runin::RunEnding::Aborted : runin::RunEnding::NoAnswer;

        int runsSoFar = 0;
        const int now = day * kRunsPerDay + slot;
        if (!retests.empty() && retests.front().after < now && chance(0.6)) {
            run.serial = retests.front().serial;
            runsSoFar = retests.front().runs;
            retests.pop_front();
        } else if (!chance(0.02)) {
            run.serial = QStringLiteral("VZ-26-%1").arg(++lenses, 4, 10, QLatin1Char('0'));
        }

        testsupport::LogMaker log;
        log.now = start;
        log.secondsPerLine = 29;
        std::array<int, 4> errors{};
        for (int axis = 0; axis < 4; ++axis)
            if (chance(failing(station, axis, day)))
                errors.at(static_cast<std::size_t>(axis)) = 1 + below(3);
        if (steps) {
            for (int k = 0; k < 86; ++k)
                log.zoom(runin::kStepAscending, 75 + 5 * k);
            for (int k = 0; k < 85; ++k)
                log.zoom(runin::kStepDescending, 495 - 5 * k);
        }
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            log.cycle();
            for (int axis = 0; axis < 4; ++axis)
                if (errors.at(static_cast<std::size_t>(axis)) > cycle) {
                    const qsizetype from = log.bytes.size();
                    log.error(kAxisNames.at(static_cast<std::size_t>(axis)),
                              runin::kStrokeAscending,
                              std::to_string((chance(0.5) ? 1 : -1) * (15 + below(40))));
                    run.errors += log.bytes.mid(from);
                }
        }
        run.complete = log.bytes;
        run.start = start.toUTC();
        run.end = log.now.toUTC();
        runs::takeFiguresFromLogs(run);
        const bool failed = errors != std::array<int, 4>{};
        if (failed && !run.serial.isEmpty() && runsSoFar + 1 < 3)
            retests.push_back({run.serial, runsSoFar + 1, now + 2 * kRunsPerDay});
        return run;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    const QCoreApplication app(argc, argv);
    const QString plantAddress = runs::plantConnection();
    auto opened = plantAddress.isEmpty()
                      ? runs::RunDatabase::openStation(runs::stationDatabasePath())
                      : runs::RunDatabase::openPlant(plantAddress);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().c_str());
        return 2;
    }
    runs::RunDatabase &records = **opened;
    Plant plant;
    const QDate today = QDate::currentDate();
    int stored = 0;
    for (int day = 0; day < kDays; ++day) {
        const QDate date = today.addDays(day - kDays);
        if (date.dayOfWeek() == Qt::Sunday)
            continue;
        for (int slot = 0; slot < kRunsPerDay; ++slot)
            for (int station = 1; station <= kStations; ++station) {
                const QDateTime start(date, QTime(7 + 3 * slot, plant.below(50)));
                if (auto put = runs::RunStore(records).put(plant.run(station, day, slot, start));
                    !put) {
                    std::fprintf(stderr, "%s\n", put.error().c_str());
                    return 1;
                }
                ++stored;
            }
    }
    runs::RunProgress running;
    running.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    running.station = QStringLiteral("bench-2");
    running.serial = QStringLiteral("VZ-26-%1").arg(plant.lenses + 1, 4, 10, QLatin1Char('0'));
    running.tests = QStringLiteral("Full stroke");
    running.cycles = 7;
    running.lastStep = QDateTime::currentDateTimeUtc();
    // bench-6 runs too; tools/plant-pictures turns its station silent.
    runs::RunProgress silent = running;
    silent.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    silent.station = QStringLiteral("bench-6");
    silent.serial = QStringLiteral("VZ-26-%1").arg(plant.lenses + 2, 4, 10, QLatin1Char('0'));
    silent.cycles = 3;
    for (const runs::RunProgress &progress : {running, silent})
        if (auto put = runs::ProgressStore(records).put(progress); !put) {
            std::fprintf(stderr, "%s\n", put.error().c_str());
            return 1;
        }
    std::printf("%d runs of %d lenses stored\n", stored, plant.lenses);
    return 0;
}
