#pragma once

#include "base/result.h"

#include <functional>
#include <string>
#include <string_view>

namespace comm {

// One serial line to the controller: opened by port number, written in whole pieces and read by
// polling. Nothing here blocks longer than a flush.
class SerialLink
{
public:
    virtual ~SerialLink() = default;

    // Opens port `portNumber` (COM1 is 1) at 115200 baud, 8 data bits, no parity, one stop bit,
    // taking it for this program alone. A failure names the port and the reason.
    virtual base::Status open(int portNumber) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    // Writes all of `data` and waits until it has left the program, or says why it could not.
    virtual base::Status write(std::string_view data) = 0;

    // Characters received and not yet taken.
    virtual int bytesWaiting() = 0;

    // Takes every waiting character.
    virtual std::string takeAll() = 0;

    // Called on every line-state change or communication error of the port.
    void setEventHandler(std::function<void()> handler) { m_eventHandler = std::move(handler); }

    // Called once, with the reason, when the device behind the open port vanishes (an adapter
    // pulled, the far end gone). The port is closed then; open() may take it again once a device
    // is back under its name.
    void setLostHandler(std::function<void(const std::string &reason)> handler)
    {
        m_lostHandler = std::move(handler);
    }

protected:
    void notifyEvent() const
    {
        if (m_eventHandler)
            m_eventHandler();
    }
    void notifyLost(const std::string &reason) const
    {
        if (m_lostHandler)
            m_lostHandler(reason);
    }

private:
    std::function<void()> m_eventHandler;
    std::function<void(const std::string &)> m_lostHandler;
};

} // namespace comm
