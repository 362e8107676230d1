#include "channel.h"

#include "platform/tone.h"
#include "seriallink.h"

namespace comm {

namespace {
constexpr char kCarriageReturn = '\r';
constexpr std::size_t kLineEndLength = 2; // CR LF, or whatever two characters end a reply
constexpr platform::Millis kPositionWait{20};
constexpr platform::Millis kErrorAssignWait{100};
constexpr platform::Millis kErrorReadWait{50};
constexpr int kEventToneHz = 1000;
constexpr platform::Millis kEventTone{50};
} // namespace

std::string AxisLetter(int axisIndex)
{
    if (axisIndex < 0 || axisIndex >= int(kAxisLetters.size()))
        return {};
    return std::string(kAxisLetters[std::size_t(axisIndex)]);
}

CommandChannel::CommandChannel(SerialLink &link, platform::Clock &clock, platform::Tone &tone)
    : m_link(link), m_clock(clock), m_tone(tone)
{
    // Any notification of the port, whatever its kind, is one short beep and nothing else.
    m_link.setEventHandler([this] { m_tone.beep(kEventToneHz, kEventTone); });
}

CommandChannel::~CommandChannel()
{
    // The link may outlive the channel, and closing it may still raise an event.
    m_link.setEventHandler({});
}

bool CommandChannel::SendLine(std::string_view text)
{
    std::string line(text);
    line += kCarriageReturn;
    const base::Status written = m_link.write(line);
    if (written) {
        m_writeFailureReported = false;
        return true;
    }
    if (!m_writeFailureReported) {
        m_writeFailureReported = true;
        if (m_writeFailureHandler)
            m_writeFailureHandler(written.error());
    }
    return false;
}

int CommandChannel::PendingCount()
{
    return m_link.bytesWaiting();
}

std::string CommandChannel::ReadAll()
{
    return m_link.takeAll();
}

std::optional<std::string> CommandChannel::valueOf(std::string reply, ShortReply shortReply)
{
    // A reply that starts with ':' is an acknowledgement, maybe with the answer behind it: the
    // value is lost with it. One character cannot hold a value and its line end.
    if (reply.empty() || reply.front() == ':')
        return std::nullopt;
    if (reply.size() < kLineEndLength) {
        if (shortReply == ShortReply::AsItCame)
            return reply;
        return std::nullopt;
    }
    reply.resize(reply.size() - kLineEndLength);
    return reply;
}

std::optional<std::string> CommandChannel::positionReply(std::string_view axisLetter,
                                                         ShortReply shortReply)
{
    SendLine(std::string("TP").append(axisLetter));
    m_clock.sleep(kPositionWait);
    if (PendingCount() == 0)
        return std::nullopt;
    return valueOf(ReadAll(), shortReply);
}

std::string CommandChannel::QueryPosition(std::string_view axisLetter)
{
    return positionReply(axisLetter, ShortReply::NoValue).value_or(std::string(kNoValue));
}

std::string CommandChannel::QueryPositionError(std::string_view axisLetter)
{
    SendLine(std::string("erorre = _TE").append(axisLetter));
    m_clock.sleep(kErrorAssignWait);
    ReadAll(); // the acknowledgement of the assignment, or nothing
    SendLine("erorre = ?");
    m_clock.sleep(kErrorReadWait);
    if (PendingCount() == 0)
        return std::string(kNoValue);
    const auto reply = valueOf(ReadAll(), ShortReply::NoValue);
    if (!reply)
        return std::string(kNoValue);
    const std::string &value = *reply;
    const auto point = value.find('.');
    if (point == std::string::npos)
        return std::string(kNoValue); // not the controller's number format
    return value.substr(0, point);
}

} // namespace comm
