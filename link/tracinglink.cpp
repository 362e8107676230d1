#include "tracinglink.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace comm {

namespace {

void appendStamp(std::string &line, std::chrono::system_clock::time_point at)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            at.time_since_epoch() % std::chrono::seconds(1))
                            .count();
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    line.append(text, length);
    std::snprintf(text, sizeof text, ".%03d", static_cast<int>(millis < 0 ? 0 : millis));
    line.append(text);
}

void appendVisible(std::string &line, std::string_view data)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            line += "\\r";
        else if (c == '\n')
            line += "\\n";
        else if (c == '\\')
            line += "\\\\";
        else if (byte < 0x20 || byte > 0x7e)
            line.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xf]);
        else
            line += c;
    }
}

} // namespace

base::Result<std::unique_ptr<WireTrace>> WireTrace::open(const std::string &path, Now now)
{
    std::FILE *file = std::fopen(path.c_str(), "ae");
    if (file == nullptr)
        return base::fail(base::FailureKind::Unavailable, std::strerror(errno));
    return std::unique_ptr<WireTrace>(new WireTrace(file, std::move(now)));
}

WireTrace::WireTrace(std::FILE *file, Now now) : m_file(file), m_now(std::move(now)) {}

WireTrace::~WireTrace()
{
    std::fclose(m_file);
}

void WireTrace::record(std::string_view direction, std::string_view data)
{
    m_line.clear();
    appendStamp(m_line, m_now());
    m_line.append("  ").append(direction).append(" ");
    appendVisible(m_line, data);
    m_line += '\n';
    if (m_failed)
        return;
    if (std::fwrite(m_line.data(), 1, m_line.size(), m_file) != m_line.size() ||
        std::fflush(m_file) != 0) {
        // Told once; the program goes on without its trace.
        m_failed = true;
        std::fprintf(stderr, "velmaro: the trace can no longer be written (%s); it stops here.\n",
                     std::strerror(errno));
    }
}

TracingLink::TracingLink(std::unique_ptr<SerialLink> link, WireTrace &trace)
    : m_link(std::move(link)), m_trace(trace)
{
    m_link->setEventHandler([this] { notifyEvent(); });
    m_link->setLostHandler([this](const std::string &reason) {
        m_trace.remark("line lost: " + reason);
        notifyLost(reason);
    });
}

base::Status TracingLink::write(std::string_view data)
{
    m_trace.sent(data);
    return m_link->write(data);
}

std::string TracingLink::takeAll()
{
    std::string data = m_link->takeAll();
    if (!data.empty())
        m_trace.received(data);
    return data;
}

} // namespace comm
