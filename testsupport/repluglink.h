#pragma once

#include "link/seriallink.h"
#include "platform/clock.h"
#include "sim/controller.h"
#include "sim/simlink.h"

#include <memory>
#include <string>

namespace testsupport {

// The in-process controller behind a cable that can be pulled and put into another controller.
class ReplugLink final : public comm::SerialLink
{
public:
    explicit ReplugLink(platform::Clock &clock) : m_clock(clock) {}

    // From now on the line leads to `controller`, opened if the line was open; the program is
    // not told, as a controller that finishes its initialisation tells nobody.
    void plug(sim::Controller &device)
    {
        const bool open = isOpen();
        m_link = std::make_unique<sim::SimLink>(device, m_clock);
        if (open)
            (void)m_link->open(m_port);
    }
    // Nothing goes through from now on, and the loss is told at once, as the real port tells it.
    void pull()
    {
        m_link.reset();
        notifyLost("the device was pulled");
    }

    base::Status open(int portNumber) override
    {
        m_port = portNumber;
        if (!m_link)
            return base::fail(base::FailureKind::Unavailable, "no device");
        return m_link->open(portNumber);
    }
    void close() override
    {
        if (m_link)
            m_link->close();
    }
    [[nodiscard]] bool isOpen() const override { return m_link && m_link->isOpen(); }
    base::Status write(std::string_view data) override
    {
        if (m_link && data == pullAt)
            pull();
        if (!m_link)
            return base::fail(base::FailureKind::Unavailable, "no device");
        return m_link->write(data);
    }
    int bytesWaiting() override { return m_link ? m_link->bytesWaiting() : 0; }
    std::string takeAll() override { return m_link ? m_link->takeAll() : std::string(); }

    [[nodiscard]] int port() const { return m_port; }

    // The cable comes out when this line is written, before it goes through.
    std::string pullAt;

private:
    platform::Clock &m_clock;
    std::unique_ptr<sim::SimLink> m_link;
    int m_port = 0;
};

} // namespace testsupport
