#pragma once

#include "sim/controller.h"

#include <string>

namespace sim::test {

// Talks to a controller the way the host does, with time moved by hand.
class ControllerDriver
{
public:
    explicit ControllerDriver(Faults faults = {}, MotionProfile profile = {}, unsigned seed = 1)
        : controller(faults, profile, seed)
    {}

    // Sends one line and returns what is readable at once.
    std::string say(const std::string &line)
    {
        controller.receive(line + "\r", now);
        return controller.takeOutput(now);
    }

    void wait(platform::Millis duration)
    {
        now += duration;
        controller.advanceTo(now);
    }

    // Waits until no axis moves; gives how long that took, negative if one still moves at `limit`.
    platform::Millis waitForStandstill(platform::Millis limit = platform::Millis(60000))
    {
        const platform::Millis start = now;
        while (now - start < limit) {
            wait(platform::Millis(10));
            bool moving = false;
            for (int axis = 0; axis < 4; ++axis)
                moving = moving || controller.isMoving(axis);
            if (!moving)
                return now - start;
        }
        return platform::Millis(-1);
    }

    Controller controller;
    platform::Millis now{0};
};

} // namespace sim::test
