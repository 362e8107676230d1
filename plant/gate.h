#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <sys/types.h>

// The server's queue of connections, in front of its threads. A connection waits here, holding no
// thread, until the whole head of its request has come; a head that takes longer than the
// deadline is cut. Only then does a thread take it, from a queue of bounded length: past it, and
// past the most connections held at once, the answer is 503 with Retry-After. A connection kept
// alive gets the same deadline for each next head, and a thread holds it no longer than that.
namespace plant {

class Gate : public httplib::TaskQueue
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kHeadDeadline = std::chrono::seconds(10);
    static constexpr std::size_t kLongestHead = 16 * 1024;
    static constexpr std::size_t kMostQueued = 64;
    static constexpr std::size_t kMostConnections = 256;

    // `port` is the one the server listens on: its connections are told apart by it.
    Gate(int port, int threads);
    ~Gate() override;
    Gate(const Gate &) = delete;
    Gate &operator=(const Gate &) = delete;

    void enqueue(std::function<void()> serve) override;
    void shutdown() override;

    // On the thread that answers: the request is read and its answer is being made; and the
    // answer is written, the next head is awaited.
    static void answering();
    static void answered();

private:
    struct Connection;
    using Held = std::shared_ptr<Connection>;

    void watch();
    void work();
    void dispatch(const Held &connection);
    void drop(const Held &connection, bool busy);
    void close(const Held &connection);
    int acceptedSocket(ino_t &inode) const;

    const int m_port;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    bool m_stopping = false;
    std::list<Held> m_held;
    std::list<Held> m_queue;
    std::set<ino_t> m_known;
    int m_wake[2] = {-1, -1};
    std::thread m_watcher;
    std::vector<std::thread> m_workers;
};

} // namespace plant
