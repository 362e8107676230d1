#include "readout.h"

#include "link/channel.h"
#include "link/numbertext.h"


namespace axes {

namespace {
constexpr platform::Millis kAnswerWait{20};
constexpr std::size_t kLineEndLength = 2; // CR LF, or whatever two characters end the answer
} // namespace

std::optional<PositionReading> readPosition(comm::CommandChannel &channel, std::string_view letter)
{
    channel.SendLine(std::string("TP").append(letter));
    channel.clock().sleep(kAnswerWait);
    if (channel.PendingCount() == 0)
        return std::nullopt;
    std::string reply = channel.ReadAll();
    if (reply.empty() || reply.front() == ':')
        return std::nullopt;
    // A single character cannot carry a line end; it is shown as it came.
    if (reply.size() >= kLineEndLength)
        reply.resize(reply.size() - kLineEndLength);
    auto position = comm::wholeNumberFromText(reply);
    return PositionReading{std::move(reply), position};
}

} // namespace axes
