#include "gate.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plant {

struct Gate::Connection
{
    int fd = -1;  // the library's: it closes it once it has served the connection
    int own = -1; // a second descriptor of the same socket, to look at and to cut it by
    ino_t inode = 0;
    std::function<void()> serve;
    enum class State { Head, Queued, Serving } state = State::Head;
    bool answering = false;
    bool cut = false;
    Clock::time_point since = Clock::now(); // awaiting a head since
};

namespace {

thread_local Gate *t_gate = nullptr;
thread_local void *t_serving = nullptr;

void refuseBusy(int fd)
{
    static constexpr std::string_view busy =
        "HTTP/1.1 503 Service Unavailable\r\nRetry-After: 5\r\nConnection: close\r\n"
        "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 48\r\n\r\n"
        "The server is busy; try again in a few seconds.\n";
    [[maybe_unused]] const auto sent =
        ::send(fd, busy.data(), busy.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

int localPort(int fd)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return -1;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
    return -1;
}

} // namespace

Gate::Gate(int port, int threads) : m_port(port)
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_watcher = std::thread([this] { watch(); });
    for (int i = 0; i < threads; ++i)
        m_workers.emplace_back([this] { work(); });
}

Gate::~Gate()
{
    shutdown();
    for (const int end : m_wake)
        if (end >= 0)
            ::close(end);
}

// The library hands over each connection it accepts, as a call that serves it, right after
// accept(): the new socket is the one on our port that is not yet held.
int Gate::acceptedSocket(ino_t &inode) const
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    int found = -1;
    while (const dirent *entry = ::readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        struct stat about{};
        if (entry->d_name[0] == '.' || fd == ::dirfd(dir) || ::fstat(fd, &about) != 0 ||
            !S_ISSOCK(about.st_mode) || m_known.count(about.st_ino) != 0)
            continue;
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening ||
            localPort(fd) != m_port)
            continue;
        found = fd;
        inode = about.st_ino;
        break;
    }
    ::closedir(dir);
    return found;
}

void Gate::enqueue(std::function<void()> serve)
{
    auto connection = std::make_shared<Connection>();
    connection->serve = std::move(serve);
    const std::lock_guard lock(m_mutex);
    connection->fd = acceptedSocket(connection->inode);
    if (connection->fd < 0) { // not told apart: served as it comes, without a deadline
        connection->state = Connection::State::Queued;
        m_queue.push_back(connection);
        m_ready.notify_one();
        return;
    }
    if (m_held.size() >= kMostConnections) {
        refuseBusy(connection->fd);
        ::close(connection->fd);
        return;
    }
    connection->own = ::fcntl(connection->fd, F_DUPFD_CLOEXEC, 0);
    m_known.insert(connection->inode);
    m_held.push_back(connection);
    [[maybe_unused]] const auto woken = ::write(m_wake[1], "w", 1);
}

void Gate::dispatch(const Held &connection)
{
    if (m_queue.size() >= kMostQueued) {
        drop(connection, true);
        return;
    }
    connection->state = Connection::State::Queued;
    m_queue.push_back(connection);
    m_ready.notify_one();
}

// A connection the library never got: both descriptors are ours to close.
void Gate::drop(const Held &connection, bool busy)
{
    if (busy)
        refuseBusy(connection->fd);
    ::close(connection->fd);
    close(connection);
}

void Gate::close(const Held &connection)
{
    if (connection->own >= 0)
        ::close(connection->own);
    m_known.erase(connection->inode);
    m_held.remove(connection);
}

void Gate::watch()
{
    std::vector<char> seen(kLongestHead);
    for (;;) {
        std::vector<pollfd> polled{{m_wake[0], POLLIN, 0}};
        std::vector<Held> heads;
        auto next = Clock::now() + std::chrono::seconds(1);
        {
            const std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
            const auto now = Clock::now();
            for (const Held &connection : std::list<Held>(m_held)) {
                const auto deadline = connection->since + kHeadDeadline;
                if (connection->state == Connection::State::Head) {
                    if (now >= deadline) {
                        drop(connection, false);
                        continue;
                    }
                    heads.push_back(connection);
                    polled.push_back({connection->own, POLLIN, 0});
                } else if (connection->state == Connection::State::Serving &&
                           !connection->answering && !connection->cut) {
                    if (now >= deadline) { // the library's thread sees the end and lets go
                        ::shutdown(connection->own, SHUT_RDWR);
                        connection->cut = true;
                        continue;
                    }
                } else {
                    continue;
                }
                next = std::min(next, deadline);
            }
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        if (::poll(polled.data(), polled.size(), static_cast<int>(std::max<long>(0, wait.count()))) <= 0)
            continue;
        char drained[64];
        while (::read(m_wake[0], drained, sizeof drained) > 0) {
        }
        for (std::size_t i = 0; i < heads.size(); ++i) {
            if (polled.at(i + 1).revents == 0)
                continue;
            const Held &connection = heads.at(i);
            const auto got = ::recv(connection->own, seen.data(), seen.size(), MSG_PEEK | MSG_DONTWAIT);
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            const std::string_view head(seen.data(), static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
            const bool whole = head.find("\r\n\r\n") != head.npos || head.find("\n\n") != head.npos ||
                               head.size() >= seen.size();
            // Woken again only when more than what is here has come.
            const int more = whole ? 1 : static_cast<int>(head.size()) + 1;
            ::setsockopt(connection->own, SOL_SOCKET, SO_RCVLOWAT, &more, sizeof more);
            const std::lock_guard lock(m_mutex);
            if (got <= 0)
                drop(connection, false);
            else if (whole)
                dispatch(connection);
        }
    }
}

void Gate::work()
{
    t_gate = this;
    for (;;) {
        Held connection;
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            connection = m_queue.front();
            m_queue.pop_front();
            connection->state = Connection::State::Serving;
        }
        t_serving = connection.get();
        connection->serve();
        t_serving = nullptr;
        const std::lock_guard lock(m_mutex);
        close(connection);
    }
}

void Gate::answering()
{
    if (t_gate == nullptr || t_serving == nullptr)
        return;
    const std::lock_guard lock(t_gate->m_mutex);
    static_cast<Connection *>(t_serving)->answering = true;
}

void Gate::answered()
{
    if (t_gate == nullptr || t_serving == nullptr)
        return;
    const std::lock_guard lock(t_gate->m_mutex);
    auto *connection = static_cast<Connection *>(t_serving);
    connection->answering = false;
    connection->since = Clock::now();
}

void Gate::shutdown()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
        for (const Held &connection : m_held)
            if (connection->state == Connection::State::Serving && !connection->answering)
                ::shutdown(connection->own, SHUT_RDWR);
    }
    [[maybe_unused]] const auto woken = ::write(m_wake[1], "w", 1);
    m_ready.notify_all();
    m_watcher.join();
    for (std::thread &worker : m_workers)
        worker.join();
    const std::lock_guard lock(m_mutex);
    for (const Held &connection : std::list<Held>(m_held))
        drop(connection, false);
}

} // namespace plant
