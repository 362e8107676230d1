#pragma once

#include "base/result.h"

#include <string>
#include <string_view>

namespace sim {

// The simulator's end of a pseudo-terminal, reachable for the program as the symlink
// <folder>/COM<n> to the terminal's slave device.
class PtyPort
{
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    // Creates the terminal and the link. A link left behind by an earlier run is replaced; any
    // other file of that name is left alone and the port is refused. A failure says which step
    // failed and the system's reason.
    base::Status open(const std::string &folder, int portNumber);

    // Closes the terminal and removes the link. The program's side then reads end of line.
    void close();

    [[nodiscard]] bool isOpen() const { return m_master >= 0; }
    [[nodiscard]] int masterFd() const { return m_master; }
    [[nodiscard]] const std::string &slaveName() const { return m_slaveName; }
    [[nodiscard]] const std::string &linkPath() const { return m_linkPath; }

    // Everything the program has written so far; never blocks.
    std::string read();
    // Queues `data` and writes as much as the terminal takes now.
    void write(std::string_view data);
    // Writes what is still queued; never blocks.
    void flush();

private:
    base::Status fail(const std::string &what);

    int m_master = -1;
    // Kept open so that the master never reads EIO while the program has the port closed.
    int m_slave = -1;
    std::string m_slaveName;
    std::string m_linkPath;
    std::string m_unsent;
};

} // namespace sim
