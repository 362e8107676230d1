#pragma once

#include <array>

namespace sim {

// Kinematics of one axis. Counts are encoder counts of the axis.
struct AxisProfile
{
    double speed = 0;         // counts/s of a host move until the host sets SP
    double residentSpeed = 0; // counts/s the resident program uses for its own moves
    double acceleration = 0;  // counts/s^2, the same for speeding up and slowing down
};

// The speeds of the four axes (Zoom 1, Zoom 2, Iris, Focus). The defaults are those of the lens:
// a full zoom stroke takes about 2 s, the whole iris range about 1 s, a focus step of 100 counts
// 0.1 s and the full focus travel 1 s.
struct MotionProfile
{
    std::array<AxisProfile, 4> axes{{
        {20000, 25000, 100000},
        {20000, 25000, 100000},
        {8000, 8000, 40000},
        {20000, 20000, 40000},
    }};

    // Every move runs this many times faster (speeds times f, accelerations times f^2), so that
    // the positions passed through stay the same and only the durations shrink.
    double timeScale = 1.0;
};

} // namespace sim
