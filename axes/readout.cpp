#include "readout.h"

#include "base/numbertext.h"
#include "link/channel.h"

namespace axes {

std::optional<PositionReading> readPosition(comm::CommandChannel &channel, std::string_view letter)
{
    // A single character cannot carry a line end; it is shown as it came.
    auto reply = channel.positionReply(letter, comm::ShortReply::AsItCame);
    if (!reply)
        return std::nullopt;
    auto position = base::wholeNumberFromText(*reply);
    return PositionReading{std::move(*reply), position};
}

} // namespace axes
