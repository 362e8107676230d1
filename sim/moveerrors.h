#pragma once

#include <random>

namespace sim {

// The position errors of the axes: every axis movement, whatever ends it, settles with an error
// drawn when it began. The generator is seeded, so a run is repeatable.
class MoveErrors
{
public:
    explicit MoveErrors(unsigned seed, int largeEvery);

    // The error (counts) the movement that begins now ends with: |e| <= kSmall, or every
    // largeEvery-th movement kLargeMin..kLargeMax with a random sign.
    int nextFinalError();

    // The following error while running at `velocity` counts/s: a lag growing with speed plus
    // jitter, both a few counts.
    int runningError(double velocity);

    static constexpr int kSmall = 8;
    static constexpr int kLargeMin = 15;
    static constexpr int kLargeMax = 60;

private:
    std::mt19937 m_random;
    int m_largeEvery;
    long m_moves = 0;
};

} // namespace sim
