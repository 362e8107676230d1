#pragma once

#include "base/result.h"
#include "platform/clock.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace runin {

// How a run came to its end.
enum class RunEnding {
    Completed, // a run without the full-stroke test ended by itself
    Aborted,   // ABORT
    NoAnswer,  // the controller stopped answering
    LineLost,  // the serial line was lost
    Closed,    // the program was closed during the run
    Unknown,   // found unstored at the next START, after a crash
};

// What a run under way has done so far, as the sequencer counts it.
struct RunSoFar
{
    std::int32_t completedCycles = 0;
    // Position errors above the threshold so far: Zoom 1, Zoom 2, Iris, Focus.
    std::array<int, 4> errors{};
    QDateTime lastStep;        // UTC: when the latest move came to rest; null before the first
    platform::Millis clock{0}; // the program's clock then (at the start, before the first)

    bool operator==(const RunSoFar &) const = default;
};

// Keeps every run as a record. The running-in part tells it when a run starts and ends; what it
// does with that (and on which thread) is its own business, as long as the window is not held up.
class RunRecorder
{
public:
    using Note = std::function<void(const QString &text)>;

    virtual ~RunRecorder() = default;

    // Where the recorder tells, on the user-interface thread, what went wrong after the fact (a
    // run that could not be stored): one line each.
    virtual void setNoteHandler(Note note) = 0;

    // At START, before the logs are emptied: makes sure the run the logs hold is kept. Fails, with
    // the reason, when it is not kept and cannot be.
    virtual base::Status keepPreviousRun() = 0;
    virtual void runStarted(bool singleStep, bool fullStroke) = 0;
    // The run has started or taken a step (and once more just before it ends). Told often: what
    // the recorder passes on, and how often, is its own business.
    virtual void runProgressed(const RunSoFar &soFar) = 0;
    // The run is over; the logs hold all of it.
    virtual void runEnded(RunEnding how, std::int32_t completedCycles) = 0;
};

} // namespace runin
