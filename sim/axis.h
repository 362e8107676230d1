#pragma once

#include "motionprofile.h"

namespace sim {

class MoveErrors;

// One servo axis: its motion advanced in small time steps. The reported position is the
// commanded one; the error of the servo loop is kept apart and read as the position error.
class Axis
{
public:
    Axis(const AxisProfile &profile, double timeScale, MoveErrors &errors, double startPosition);

    // Advances the motion by `seconds` (the controller steps by one millisecond).
    void step(double seconds);

    [[nodiscard]] double position() const { return m_position; }
    [[nodiscard]] long roundedPosition() const;
    [[nodiscard]] bool isMoving() const { return m_mode != Mode::Idle; }
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    // The target of the move running or last set; a position move's end point.
    [[nodiscard]] double target() const { return m_target; }
    // Current position error in counts.
    [[nodiscard]] int positionError();

    void enable() { m_enabled = true; }
    // Motor off: the axis stops where it is, at once.
    void disable();
    // Decelerating stop.
    void stop();
    // Stops at once.
    void abort();

    // Host parameters, in counts and counts/s as the host writes them.
    void setSpeed(double countsPerSecond) { m_speed = countsPerSecond; }
    void setAcceleration(double countsPerSecond2) { m_acceleration = countsPerSecond2; }
    void setJogSpeed(double countsPerSecond);
    void setTarget(double counts);

    // BG: starts what the last of PA and JG prepared. False when disabled or already moving.
    bool begin();

    // A move of the resident program with its own speed and acceleration. It takes over a move
    // that is running. False when the axis is disabled.
    bool moveTo(double target, double speed, double acceleration);

private:
    enum class Mode { Idle, Position, Jog, Stopping };

    void startMove(Mode mode);
    void settle();
    [[nodiscard]] double scaledSpeed(double speed) const { return speed * m_timeScale; }
    [[nodiscard]] double scaledAcceleration(double acc) const
    {
        return acc * m_timeScale * m_timeScale;
    }

    MoveErrors &m_errors;
    double m_timeScale;
    double m_speed;
    double m_acceleration;
    double m_jogSpeed = 0;
    bool m_jogNext = false;
    bool m_enabled = true;
    Mode m_mode = Mode::Idle;
    double m_position;
    double m_target;
    double m_velocity = 0;
    // Speed and acceleration of the move running (already time-scaled).
    double m_runSpeed = 0;
    double m_runAcceleration = 0;
    int m_finalError = 0;
    int m_settledError = 0;
};

} // namespace sim
