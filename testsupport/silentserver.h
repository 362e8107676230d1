#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace testsupport {

// A loopback port that takes connections and never answers, as a database server that hangs: a
// client's login waits there to the end of its timeout.
class SilentServer
{
public:
    // On `port`, or on a free one with 0.
    explicit SilentServer(int port = 0) : m_listener(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        socklen_t length = sizeof address;
        auto *named = reinterpret_cast<sockaddr *>(&address);
        if (::bind(m_listener, named, length) == 0 && ::listen(m_listener, 16) == 0 &&
            ::getsockname(m_listener, named, &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { close(); }
    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;

    // The port it listens on; 0 when it could not.
    [[nodiscard]] int port() const { return m_port; }

    // Whether a client has come and still waits for an answer.
    bool clientWaiting()
    {
        if (pollfd incoming{m_listener, POLLIN, 0}; m_client < 0 && ::poll(&incoming, 1, 0) == 1)
            m_client = ::accept(m_listener, nullptr, nullptr);
        pollfd client{m_client, POLLRDHUP, 0};
        return m_client >= 0 && ::poll(&client, 1, 0) == 0;
    }

    // Closes the port: the waiting client's login fails, and later ones are refused.
    void close()
    {
        for (int *socket : {&m_client, &m_listener})
            if (*socket >= 0)
                ::close(std::exchange(*socket, -1));
    }

private:
    int m_listener;
    int m_client = -1;
    int m_port = 0;
};

} // namespace testsupport
