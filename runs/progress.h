#pragma once

#include "runrecord.h"

#include "runin/runrecorder.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

// What the plant sees of a running-in run while it runs: a snapshot the station sends at the run's
// start, now and then during it, and at its end. Only the latest snapshot of a station counts.
// The plant database keeps one per station (progressstore.h).
namespace runs {

struct RunProgress
{
    QString runId, station, serial, tests;
    int cycles = 0;
    std::array<int, kAxisCount> errors{}; // errors above the threshold so far, per axis
    QDateTime lastStep;                   // UTC: the time of the run's latest step; null before
    QDateTime updated; // UTC: when the snapshot was stored, by the database's own clock
    // The run is over: its end was told, or its record has reached the database.
    bool ended = false;

    bool operator==(const RunProgress &) const = default;
};

// Turns the running-in test's progress into the snapshots the plant sees: one at the run's start,
// at most one a minute after that, paced by the steps' own clock, and one at its end.
class ProgressPacer
{
public:
    using Send = std::function<void(const RunProgress &)>;
    static constexpr std::chrono::minutes kEvery{1};

    explicit ProgressPacer(Send send) : m_send(std::move(send)) {}

    // A new run: which it is. Its first snapshot goes with its first progress.
    void started(const RunRecord &run);
    void progressed(const runin::RunSoFar &soFar);
    void ended(std::int32_t completedCycles);

private:
    Send m_send;
    std::optional<RunProgress> m_run; // the run under way, as far as it has come
    std::optional<platform::Millis> m_lastSent;
};

} // namespace runs
