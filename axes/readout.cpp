#include "readout.h"

#include "link/channel.h"
#include "link/numbertext.h"

namespace axes {

std::optional<PositionReading> readPosition(comm::CommandChannel &channel, std::string_view letter)
{
    // A single character cannot carry a line end; it is shown as it came.
    auto reply = channel.positionReply(letter, comm::ShortReply::AsItCame);
    if (!reply)
        return std::nullopt;
    auto position = comm::wholeNumberFromText(*reply);
    return PositionReading{std::move(*reply), position};
}

} // namespace axes
