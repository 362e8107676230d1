#pragma once

#include "seriallink.h"

#include "base/result.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace comm {

// The wire trace of `velmaro --trace FILE`: one line per piece written to the controller or taken
// from it, with the local time to the millisecond and the direction:
//   2026-12-05 21:13:45.123  -> TPX\r
//   2026-12-05 21:13:45.144  <- 1234\r\n
// Characters that are not printable are written as \r, \n, \\ or \xNN, so one piece stays on one
// line. Each line is appended and flushed at once: whatever happened last is in the file even if
// the program ends badly.
class WireTrace
{
public:
    using Now = std::function<std::chrono::system_clock::time_point()>;

    // Opens `path` for appending (creating it), or says why it cannot.
    static base::Result<std::unique_ptr<WireTrace>> open(const std::string &path,
                                                         Now now = &std::chrono::system_clock::now);
    ~WireTrace();
    WireTrace(const WireTrace &) = delete;
    WireTrace &operator=(const WireTrace &) = delete;

    void sent(std::string_view data) { record("->", data); }
    void received(std::string_view data) { record("<-", data); }
    // A line of the program's own, such as where a session begins.
    void remark(std::string_view text) { record("--", text); }

private:
    WireTrace(std::FILE *file, Now now);
    void record(std::string_view direction, std::string_view data);

    std::FILE *m_file;
    Now m_now;
    std::string m_line;
    bool m_failed = false;
};

// A serial link that shows the trace every piece written and every piece taken, and otherwise
// is the link beneath it: the channel and every caller see no difference.
class TracingLink final : public SerialLink
{
public:
    TracingLink(std::unique_ptr<SerialLink> link, WireTrace &trace);

    base::Status open(int portNumber) override { return m_link->open(portNumber); }
    void close() override { m_link->close(); }
    [[nodiscard]] bool isOpen() const override { return m_link->isOpen(); }
    base::Status write(std::string_view data) override;
    int bytesWaiting() override { return m_link->bytesWaiting(); }
    std::string takeAll() override;

private:
    std::unique_ptr<SerialLink> m_link;
    WireTrace &m_trace;
};

} // namespace comm
