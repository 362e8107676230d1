#pragma once

#include "runrecord.h"

#include <QDateTime>
#include <QString>

#include <array>

// What the plant sees of a running-in run while it runs: a snapshot the station sends at the run's
// start, now and then during it, and at its end. Only the latest snapshot of a station counts.
namespace runs {

struct RunProgress
{
    QString runId, station, serial, tests;
    int cycles = 0;
    std::array<int, kAxisCount> errors{}; // errors above the threshold so far, per axis
    QDateTime lastStep;                   // UTC: the time of the run's latest step
    QDateTime updated;                    // UTC: when the snapshot was stored
    bool ended = false;

    bool operator==(const RunProgress &) const = default;
};

} // namespace runs

// RunDatabase gains:
//   base::Status putProgress(const RunProgress &);   the latest snapshot per station wins
//   base::Result<std::vector<RunProgress>> latestProgress();   one per station
