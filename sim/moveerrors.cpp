#include "moveerrors.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
// One count of lag per this many counts/s, at most kMaxLag.
constexpr double kVelocityPerLagCount = 5000.0;
constexpr int kMaxLag = 5;
constexpr int kJitter = 3;
} // namespace

MoveErrors::MoveErrors(unsigned seed, int largeEvery) : m_random(seed), m_largeEvery(largeEvery) {}

int MoveErrors::nextFinalError()
{
    ++m_moves;
    if (m_largeEvery > 0 && m_moves % m_largeEvery == 0) {
        std::uniform_int_distribution<int> size(kLargeMin, kLargeMax);
        std::bernoulli_distribution negative(0.5);
        const int e = size(m_random);
        return negative(m_random) ? -e : e;
    }
    std::uniform_int_distribution<int> small(-kSmall, kSmall);
    return small(m_random);
}

int MoveErrors::runningError(double velocity)
{
    const int lag = static_cast<int>(
        std::clamp(std::lround(velocity / kVelocityPerLagCount), -long{kMaxLag}, long{kMaxLag}));
    std::uniform_int_distribution<int> jitter(-kJitter, kJitter);
    return lag + jitter(m_random);
}

} // namespace sim
