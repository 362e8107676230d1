#pragma once

#include "tone.h"

namespace platform {

// A sine tone on the default sound device. Where no device opens the tone is a silent wait of the
// same length, so that everything timed around it keeps its timing.
class AlsaTone final : public Tone
{
public:
    explicit AlsaTone(Clock &clock) : m_clock(clock) {}
    void beep(int frequencyHz, Millis duration) override;

private:
    bool play(int frequencyHz, Millis duration);

    Clock &m_clock;
};

} // namespace platform
