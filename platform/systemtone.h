#pragma once

#include "tone.h"

#include <memory>

namespace platform {

// The platform's own tone: ALSA on Linux, the system beep on Windows.
std::unique_ptr<Tone> makeSystemTone(Clock &clock);

} // namespace platform
