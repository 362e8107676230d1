#pragma once

#include "base/result.h"

#include <QString>

#include <functional>
#include <memory>

namespace quality {
class Cache;
}
namespace httplib {
class Server;
}
namespace runs {
class RunDatabase;
}

// The plant's HTTP server: GET and HEAD only, on a pool of threads so that one slow client never
// holds up the others. Each thread opens the records for itself (a Qt SQL connection belongs to
// the thread that made it) and opens them again once they are found unavailable, so the pages come
// back with the database without a restart.
namespace plant {

class Drawings;

class Server
{
public:
    using Opener = std::function<base::Result<std::unique_ptr<runs::RunDatabase>>()>;

    static constexpr int kThreads = 16;
    static constexpr int kAnswerWithinSeconds = 10;

    // The first-pass yield, percent, under which a station's week needs attention.
    static constexpr double kDefaultYieldTarget = 90;

    explicit Server(Opener open, double yieldTarget = kDefaultYieldTarget);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds the address; gives the port (the one the system chose for 0) or why not.
    base::Result<int> bind(const QString &host, int port);
    // Answers until stop(); blocks the calling thread.
    void serve();
    // From any thread.
    void stop();

private:
    Opener m_open;
    double m_yieldTarget;
    int m_port = 0;
    std::unique_ptr<quality::Cache> m_figures;
    std::unique_ptr<Drawings> m_drawings;
    std::unique_ptr<httplib::Server> m_http;
};

} // namespace plant
