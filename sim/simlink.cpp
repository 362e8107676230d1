#include "simlink.h"

#include "controller.h"

namespace sim {

namespace {
std::string portName(int port)
{
    return "COM" + std::to_string(port);
}
} // namespace

SimLink::SimLink(Controller &controller, platform::Clock &clock)
    : m_controller(controller), m_clock(clock)
{}

base::Status SimLink::open(int portNumber)
{
    close();
    m_error.clear();
    if (!m_available.empty() && m_available.count(portNumber) == 0)
        m_error = portName(portNumber) + " cannot be opened: no such port";
    else if (m_controller.linkDropped(m_clock.now()))
        m_error = portName(portNumber) + " cannot be opened: the device has gone";
    else if (m_held.count(portNumber) != 0)
        m_error = portName(portNumber) + " is in use by another program";
    if (!m_error.empty())
        return base::fail(base::FailureKind::Unavailable, m_error);
    m_port = portNumber;
    m_open = true;
    m_lost = false;
    return {};
}

void SimLink::close()
{
    m_open = false;
}

bool SimLink::isOpen() const
{
    return m_open && !m_lost;
}

bool SimLink::checkLost()
{
    if (m_open && !m_lost && m_controller.linkDropped(m_clock.now())) {
        m_lost = true;
        m_error = "the connection on " + portName(m_port) + " was lost";
        notifyEvent();
        notifyLost(m_error);
    }
    return m_lost;
}

base::Status SimLink::write(std::string_view data)
{
    if (!m_open) {
        if (m_error.empty())
            m_error = "the serial port is not open";
        return base::fail(base::FailureKind::Unavailable, m_error);
    }
    if (checkLost())
        return base::fail(base::FailureKind::Unavailable, m_error);
    m_controller.receive(data, m_clock.now());
    return {};
}

int SimLink::bytesWaiting()
{
    if (!m_open || checkLost())
        return 0;
    return static_cast<int>(m_controller.pendingOutput(m_clock.now()));
}

std::string SimLink::takeAll()
{
    if (!m_open || checkLost())
        return {};
    return m_controller.takeOutput(m_clock.now());
}

} // namespace sim
