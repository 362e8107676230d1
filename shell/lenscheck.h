#pragma once

#include "base/result.h"

namespace comm {
class CommandChannel;
}

namespace platform {
class Clock;
}

namespace shell {

// Asks the controller whether the lens has been initialised. A failure is the message to show
// before the program ends.
base::Status checkLensInitialised(comm::CommandChannel &channel, platform::Clock &clock);

} // namespace shell
