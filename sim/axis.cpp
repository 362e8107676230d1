#include "axis.h"

#include "moveerrors.h"

#include <algorithm>
#include <cmath>

namespace sim {

Axis::Axis(const AxisProfile &profile, double timeScale, MoveErrors &errors, double startPosition)
    : m_errors(errors), m_timeScale(timeScale), m_speed(profile.speed),
      m_acceleration(profile.acceleration), m_position(startPosition), m_target(startPosition)
{}

long Axis::roundedPosition() const
{
    return std::lround(m_position);
}

int Axis::positionError()
{
    // While running the servo lags behind and the error changes from one reading to the next;
    // standing, it keeps the error the move settled with.
    if (isMoving())
        return m_errors.runningError(m_velocity / m_timeScale);
    return m_settledError;
}

void Axis::setJogSpeed(double countsPerSecond)
{
    m_jogSpeed = countsPerSecond;
    m_jogNext = true;
}

void Axis::setTarget(double counts)
{
    m_target = counts;
    m_jogNext = false;
}

void Axis::disable()
{
    m_enabled = false;
    abort();
}

void Axis::stop()
{
    if (isMoving())
        m_mode = Mode::Stopping;
}

void Axis::abort()
{
    if (isMoving())
        settle();
}

bool Axis::begin()
{
    if (!m_enabled || isMoving())
        return false;
    m_runAcceleration = scaledAcceleration(m_acceleration);
    if (m_jogNext) {
        m_runSpeed = scaledSpeed(m_jogSpeed);
        startMove(Mode::Jog);
        return true;
    }
    if (m_speed <= 0 || m_acceleration <= 0)
        return false; // such a move would never arrive
    m_runSpeed = scaledSpeed(m_speed);
    startMove(Mode::Position);
    return true;
}

bool Axis::moveTo(double target, double speed, double acceleration)
{
    if (!m_enabled || speed <= 0 || acceleration <= 0)
        return false;
    m_target = target;
    m_jogNext = false;
    m_runSpeed = scaledSpeed(speed);
    m_runAcceleration = scaledAcceleration(acceleration);
    // A position move under way is retargeted; a jog or a stop turns into this move.
    if (m_mode == Mode::Idle)
        startMove(Mode::Position);
    else
        m_mode = Mode::Position;
    return true;
}

void Axis::startMove(Mode mode)
{
    m_finalError = m_errors.nextFinalError();
    m_mode = mode;
}

void Axis::settle()
{
    m_mode = Mode::Idle;
    m_velocity = 0;
    m_settledError = m_finalError;
}

void Axis::step(double seconds)
{
    const double dv = m_runAcceleration * seconds;
    switch (m_mode) {
    case Mode::Idle:
        return;
    case Mode::Jog:
        m_velocity = m_velocity < m_runSpeed ? std::min(m_velocity + dv, m_runSpeed)
                                             : std::max(m_velocity - dv, m_runSpeed);
        m_position += m_velocity * seconds;
        return;
    case Mode::Stopping:
        m_velocity =
            m_velocity > 0 ? std::max(m_velocity - dv, 0.0) : std::min(m_velocity + dv, 0.0);
        m_position += m_velocity * seconds;
        if (m_velocity == 0.0)
            settle();
        return;
    case Mode::Position: {
        // Trapezoid: run towards the target no faster than the speed and no faster than still
        // lets the axis brake in the distance left.
        const double distance = m_target - m_position;
        const double direction = distance >= 0 ? 1.0 : -1.0;
        const double wanted =
            direction *
            std::min(m_runSpeed, std::sqrt(2.0 * m_runAcceleration * std::abs(distance)));
        m_velocity = m_velocity < wanted ? std::min(m_velocity + dv, wanted)
                                         : std::max(m_velocity - dv, wanted);
        const double travel = m_velocity * seconds;
        if (std::abs(distance) < 1e-9 ||
            (travel * distance > 0 && std::abs(travel) >= std::abs(distance))) {
            m_position = m_target;
            settle();
            return;
        }
        m_position += travel;
        return;
    }
    }
}

} // namespace sim
