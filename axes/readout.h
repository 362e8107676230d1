#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comm {
class CommandChannel;
}

namespace axes {

// What the readout shows for one axis: the controller's answer as it came, without its line end,
// and as a whole number when it is one.
struct PositionReading
{
    std::string text;
    std::optional<std::int32_t> position;
};

// Asks for the axis's position ("TP" + letter, 20 ms, then everything waiting). Nothing when no
// answer came or the answer starts with the ':' of an earlier command, which carries no value.
std::optional<PositionReading> readPosition(comm::CommandChannel &channel, std::string_view letter);

} // namespace axes
