#include "axiscommands.h"

#include "link/channel.h"

namespace axes {

namespace {
constexpr platform::Millis kSettle{100};

std::string joined(std::string_view a, std::string_view b, std::string_view c = {},
                   std::string_view d = {})
{
    std::string line;
    line.reserve(a.size() + b.size() + c.size() + d.size());
    return line.append(a).append(b).append(c).append(d);
}
} // namespace

std::vector<std::string> enableLines(std::string_view letter, bool enable)
{
    if (enable)
        return {joined("SH", letter)};
    return {joined("ST", letter), joined("AB", letter), joined("MO", letter)};
}

std::vector<std::string> jogLines(std::string_view letter, std::string_view speed, bool forward)
{
    return {joined("JG", letter, forward ? "=" : "=-", speed), joined("BG", letter)};
}

std::vector<std::string> stopLines(std::string_view letter)
{
    return {joined("ST", letter)};
}

std::vector<std::string> absoluteMoveLines(std::string_view letter, std::string_view speed,
                                           std::string_view target)
{
    return {joined("SP", letter, "=", speed), joined("PA", letter, "=", target),
            joined("BG", letter)};
}

void sendHeld(comm::CommandChannel &channel, platform::Clock &clock,
              const std::vector<std::string> &lines)
{
    const auto hold = channel.hold();
    for (const auto &line : lines)
        channel.SendLine(line);
    clock.sleep(kSettle);
}

} // namespace axes
