#pragma once

#include <optional>
#include <string>

namespace comm {
class CommandChannel;
}

namespace shell {

// Asks the controller whether the lens has been initialised. Nothing when it is ready; otherwise
// the message to show before the program ends.
std::optional<std::string> checkLensInitialised(comm::CommandChannel &channel);

} // namespace shell
