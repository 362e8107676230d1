#pragma once

#include "clock.h"

namespace platform {

// A beep of the given pitch; returns when the tone has ended.
class Tone
{
public:
    virtual ~Tone() = default;
    virtual void beep(int frequencyHz, Millis duration) = 0;
};

} // namespace platform
