#pragma once

#include "link/seriallink.h"
#include "platform/clock.h"
#include "platform/tone.h"

#include <deque>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A serial line answering what the test wrote in advance, each from its time on; records it all.
class FakeLink final : public comm::SerialLink
{
public:
    explicit FakeLink(const platform::Clock &clock) : m_clock(clock) {}

    // `text` becomes readable `after` from now.
    void answer(std::string text, platform::Millis after = platform::Millis{0})
    {
        m_incoming.emplace_back(m_clock.now() + after, std::move(text));
    }
    void failWrites(bool fail) { m_failWrites = fail; }
    void refuseOpen(bool refuse) { m_refuseOpen = refuse; }
    // The device vanishes during the next write, which fails with it, as a pulled adapter does.
    void loseLineOnNextWrite() { m_loseOnWrite = true; }
    void raiseEvent() const { notifyEvent(); }
    // The device vanishes: the port closes and says so, as a pulled adapter does.
    void loseLine()
    {
        m_open = false;
        notifyEvent();
        notifyLost("the connection on COM" + std::to_string(m_port) + " was lost");
    }

    base::Status open(int portNumber) override
    {
        if (m_refuseOpen)
            return base::fail(base::FailureKind::Unavailable,
                              "COM" + std::to_string(portNumber) + " cannot be opened");
        m_open = true;
        m_port = portNumber;
        ++opens;
        return {};
    }
    void close() override { m_open = false; }
    [[nodiscard]] int portNumber() const { return m_port; }
    [[nodiscard]] bool isOpen() const override { return m_open; }
    base::Status write(std::string_view data) override
    {
        if (std::exchange(m_loseOnWrite, false) && m_open)
            loseLine();
        if (m_failWrites || !m_open)
            return base::fail(base::FailureKind::Unavailable, "the serial port is not open");
        written.emplace_back(data);
        operations.emplace_back("write");
        return {};
    }
    int bytesWaiting() override
    {
        operations.emplace_back("count");
        return static_cast<int>(ready().size());
    }
    std::string takeAll() override
    {
        operations.emplace_back("read");
        std::string taken = ready();
        while (!m_incoming.empty() && m_incoming.front().first <= m_clock.now())
            m_incoming.pop_front();
        return taken;
    }

    std::vector<std::string> written;
    std::vector<std::string> operations;
    int opens = 0;

private:
    [[nodiscard]] std::string ready() const
    {
        std::string text;
        for (const auto &[time, chunk] : m_incoming)
            if (time <= m_clock.now())
                text += chunk;
        return text;
    }

    const platform::Clock &m_clock;
    std::deque<std::pair<platform::Millis, std::string>> m_incoming;
    bool m_open = false;
    int m_port = 0;
    bool m_failWrites = false;
    bool m_loseOnWrite = false;
    bool m_refuseOpen = false;
};

class RecordingTone final : public platform::Tone
{
public:
    void beep(int frequencyHz, platform::Millis duration) override
    {
        beeps.emplace_back(frequencyHz, duration);
    }
    std::vector<std::pair<int, platform::Millis>> beeps;
};

} // namespace testsupport
