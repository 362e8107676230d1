#pragma once

#include "base/numbertext.h"
#include "platform/clock.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class Tone;
} // namespace platform

namespace comm {

class SerialLink;

// What a query gives when no value was read.
using base::kNoValue;

// What a reply of one character other than ':' counts as: it has no room for the two line-end
// characters that the value is cut from.
enum class ShortReply {
    NoValue,  // the queries: no value
    AsItCame, // the readout shows it as it came
};

// The controller's letters for axis index 0 to 3 (Zoom 1, Zoom 2, Iris, Focus), and the
// alternative letters by which the running-in test addresses the same axes.
inline constexpr std::array<std::string_view, 4> kAxisLetters = {"X", "Y", "Z", "W"};
inline constexpr std::array<std::string_view, 4> kAlternativeAxisLetters = {"A", "B", "C", "D"};

// The controller's letter for an axis index: "X", "Y", "Z", "W" for 0 to 3, else empty.
std::string AxisLetter(int axisIndex);

// The one way to the controller. Lines go out whole, each ended by one carriage return; answers
// are never waited for, only polled after a fixed pause. Anything left unread is taken by the next
// read, wherever that happens.
class CommandChannel
{
public:
    CommandChannel(SerialLink &link, platform::Clock &clock, platform::Tone &tone);
    ~CommandChannel();
    CommandChannel(const CommandChannel &) = delete;
    CommandChannel &operator=(const CommandChannel &) = delete;

    // Writes `text` and one carriage return in one piece. Does not wait and does not read.
    // Returns whether the write succeeded; a failure is also reported to the failure handler, once
    // until a write succeeds again.
    bool SendLine(std::string_view text);

    int PendingCount();
    std::string ReadAll();

    // The position query: "TP" + letter, 20 ms, then everything waiting. The reply without its
    // two line-end characters; nothing when no reply came or it starts with ':', the
    // acknowledgement of an earlier line, which takes the value with it.
    std::optional<std::string> positionReply(std::string_view axisLetter, ShortReply shortReply);

    // The axis's position as text, or kNoValue.
    std::string QueryPosition(std::string_view axisLetter);

    // The integer part of the axis's position error as text, leading blank or sign kept, or
    // kNoValue.
    std::string QueryPositionError(std::string_view axisLetter);

    // Told, with the reason, when a line could not be written.
    void setWriteFailureHandler(std::function<void(const std::string &reason)> handler)
    {
        m_writeFailureHandler = std::move(handler);
    }

    // Keeps the periodic position readout off the line for as long as it lives: an exchange that
    // must not have its answers taken holds the channel, `auto hold = channel.hold();`, and the
    // hold ends with its scope on every path. Holds may nest.
    class Hold
    {
    public:
        ~Hold() { m_channel.ChannelBusy = m_before; }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        friend class CommandChannel;
        explicit Hold(CommandChannel &channel) : m_channel(channel), m_before(channel.ChannelBusy)
        {
            m_channel.ChannelBusy = true;
        }
        CommandChannel &m_channel;
        bool m_before;
    };
    [[nodiscard]] Hold hold() { return Hold(*this); }

    // Whether an exchange holds the line, so that the readout must leave it alone.
    [[nodiscard]] bool busy() const { return ChannelBusy; }

private:
    // The reply without its two line-end characters, or nothing when it carries no value.
    static std::optional<std::string> valueOf(std::string reply, ShortReply shortReply);

    SerialLink &m_link;
    platform::Clock &m_clock;
    platform::Tone &m_tone;
    std::function<void(const std::string &)> m_writeFailureHandler;
    bool m_writeFailureReported = false;
    // Set only by a Hold.
    bool ChannelBusy = false;
};

} // namespace comm
