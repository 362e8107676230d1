#pragma once

#include "link/seriallink.h"
#include "platform/clock.h"

#include <set>
#include <string>

namespace sim {

class Controller;

// A serial line wired straight to a simulated controller, in the same process. The controller
// sees every write at the clock's present time and answers by it; with a virtual clock the waits
// of the program advance the controller's motion, so whole moves take no real time.
class SimLink final : public comm::SerialLink
{
public:
    SimLink(Controller &controller, platform::Clock &clock);

    // Ports that exist; empty (the default) means every port does.
    void setAvailablePorts(std::set<int> ports) { m_available = std::move(ports); }
    // Ports that another program holds and that therefore cannot be opened.
    void setHeldPorts(std::set<int> ports) { m_held = std::move(ports); }

    base::Status open(int portNumber) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override;
    base::Status write(std::string_view data) override;
    int bytesWaiting() override;
    std::string takeAll() override;

    [[nodiscard]] int openedPort() const { return m_port; }

private:
    // Notices the controller's line going dead, reports it once and closes.
    bool checkLost();

    Controller &m_controller;
    platform::Clock &m_clock;
    std::set<int> m_available;
    std::set<int> m_held;
    int m_port = 0;
    bool m_open = false;
    bool m_lost = false;
    std::string m_error;
};

} // namespace sim
