#pragma once

#include "platform/clock.h"

#include <optional>

namespace sim {

// Ways in which the simulated controller misbehaves, all off by default.
struct Faults
{
    // The lens has not been initialised: digital output 1 reads 0 and the resident program does
    // not move the lens.
    bool notInitialised = false;

    // An alarm stands with this error number (0 to 9). The lens is then not initialised either.
    std::optional<int> alarm{};

    // Nothing is answered. Lines are still received and carried out, like a controller whose
    // transmit wire is cut.
    bool silent = false;

    // Every answer becomes readable only this long after its line arrived.
    platform::Millis replyDelay{0};

    // Every answer is replaced by random printable characters ended by CR LF.
    bool garbage = false;

    // Every Nth axis movement ends with a position error of 15 to 60 counts; 0 = never.
    int largeErrorEvery = 0;

    // The line goes dead this long after the first line arrived.
    std::optional<platform::Millis> dropAfter{};
};

} // namespace sim
