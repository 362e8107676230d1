#pragma once

#include <chrono>

namespace platform {

using Millis = std::chrono::milliseconds;

// Time as the program sees it. Every wait of the program goes through here, so that tests can run
// the controller's timing in simulated time.
class Clock
{
public:
    virtual ~Clock() = default;

    // Blocks the calling thread; no events are processed meanwhile.
    virtual void sleep(Millis duration) = 0;

    // Time since an arbitrary fixed origin; never goes backwards.
    [[nodiscard]] virtual Millis now() const = 0;
};

// Sleeps for real.
class RealClock final : public Clock
{
public:
    RealClock();
    void sleep(Millis duration) override;
    [[nodiscard]] Millis now() const override;

private:
    std::chrono::steady_clock::time_point m_origin;
};

// Simulated time for tests: a sleep advances time at once.
class VirtualClock final : public Clock
{
public:
    void sleep(Millis duration) override { m_now += duration; }
    [[nodiscard]] Millis now() const override { return m_now; }
    void advance(Millis duration) { m_now += duration; }

private:
    Millis m_now{0};
};

} // namespace platform
