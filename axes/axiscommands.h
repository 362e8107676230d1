#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace comm {
class CommandChannel;
}

namespace platform {
class Clock;
}

// The lines of manual axis control. `letter` is the controller's axis letter; speed and target
// texts are the operator's, sent exactly as typed.
namespace axes {

// Servo on ("SH") when `enable`, else stop, abort and motor off.
std::vector<std::string> enableLines(std::string_view letter, bool enable);

// Jog at `speed` forward, or backward with a minus put in front of the text as it stands.
std::vector<std::string> jogLines(std::string_view letter, std::string_view speed, bool forward);

// Ends a jog.
std::vector<std::string> stopLines(std::string_view letter);

// A move to `target` at `speed`.
std::vector<std::string> absoluteMoveLines(std::string_view letter, std::string_view speed,
                                           std::string_view target);

// Sends `lines` back to back with the readout kept off the line, then leaves the controller
// 100 ms to take them before the readout may poll again. Blocks for those 100 ms.
void sendHeld(comm::CommandChannel &channel, platform::Clock &clock,
              const std::vector<std::string> &lines);

} // namespace axes
