#include "clock.h"

#include <thread>

namespace platform {

RealClock::RealClock() : m_origin(std::chrono::steady_clock::now()) {}

void RealClock::sleep(Millis duration)
{
    std::this_thread::sleep_for(duration);
}

Millis RealClock::now() const
{
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - m_origin);
}

} // namespace platform
