#include "server.h"

#include "gate.h"
#include "pages.h"

#include "quality/cache.h"
#include "runs/rundatabase.h"


#include <httplib.h>

#include <sys/socket.h>

namespace plant {

namespace {

// The records of the pool's thread that answers: opened on the first request it takes.
thread_local std::unique_ptr<runs::RunDatabase> t_records;

// The file name twice: plain for old clients, and in UTF-8 (RFC 6266).
std::string disposition(const QString &name)
{
    QString plain = name;
    plain.replace(u'"', u'_');
    return QStringLiteral("attachment; filename=\"%1\"; filename*=UTF-8''%2")
        .arg(plain, urlPart(name))
        .toStdString();
}

void send(const Reply &reply, httplib::Response &res)
{
    res.status = reply.status;
    if (reply.stream && reply.stream->length > 0) {
        // The library asks for the bytes from an offset on, as the client takes them; a failure
        // part way cuts the connection, which a client sees as a download cut short.
        std::shared_ptr<const Reply::Stream> stream = reply.stream;
        res.set_content_provider(
            static_cast<std::size_t>(stream->length), reply.contentType.toStdString(),
            [stream](std::size_t offset, std::size_t most, httplib::DataSink &sink) {
                if (!stream->piece)
                    return false;
                auto piece = stream->piece(qint64(offset), qint64(most));
                if (!piece || piece->isEmpty())
                    return false;
                return sink.write(piece->constData(), static_cast<std::size_t>(piece->size()));
            });
    } else if (reply.bodyNotMade) { // sent chunked, so no length is claimed; HEAD sends no chunk
        res.set_chunked_content_provider(reply.contentType.toStdString(),
                                         [](std::size_t, httplib::DataSink &sink) {
                                             sink.done();
                                             return true;
                                         });
    } else {
        res.set_content(reply.body.constData(), static_cast<std::size_t>(reply.body.size()),
                        reply.contentType.constData());
    }
    if (reply.retryAfter)
        res.set_header("Retry-After", std::to_string(*reply.retryAfter));
    if (!reply.download.isEmpty())
        res.set_header("Content-Disposition", disposition(reply.download));
    // Nothing here may run a script or load from elsewhere, even if a value slipped through.
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
                   "form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Cache-Control", "no-store");
}

// A connection found unavailable is not trusted again: the next request opens a new one. Other
// failures (a statement past its timeout, a damaged record) leave it as it is.
Reply answerOnThisThread(const Server::Opener &open, const Request &request)
{
    if (!t_records) {
        auto opened = open();
        if (!opened)
            return failed(opened.failure());
        t_records = std::move(*opened);
    }
    Reply reply = answer(*t_records, request);
    if (reply.failure == base::FailureKind::Unavailable)
        t_records.reset();
    return reply;
}

Reply answerTimely(const Server::Opener &open, quality::Cache &figures, Drawings &drawings,
                   double yieldTarget, const httplib::Request &req)
{
    Gate::answering();
    auto read = readRequest(QByteArray::fromStdString(req.target));
    if (auto *refused = std::get_if<Reply>(&read))
        return *refused;
    Request &request = std::get<Request>(read);
    request.figures = &figures;
    request.drawings = &drawings;
    request.yieldTarget = yieldTarget;
    request.head = req.method == "HEAD";
    request.deadline = Clock::now() + std::chrono::seconds(Server::kAnswerWithinSeconds);
    // A thread's connection may have died with the server since its last request: it is tried
    // once more on a new one.
    const bool wasOpen = t_records != nullptr;
    Reply reply = answerOnThisThread(open, request);
    if (reply.failure == base::FailureKind::Unavailable && wasOpen &&
        Clock::now() < request.deadline)
        reply = answerOnThisThread(open, request);
    if (Clock::now() > request.deadline)
        return failed(base::FailureKind::TimedOut,
                      QStringLiteral("The answer took longer than %1 s; the records or the server "
                                     "are too busy now.")
                          .arg(Server::kAnswerWithinSeconds));
    return reply;
}

} // namespace

Server::Server(Opener open, double yieldTarget)
    : m_open(std::move(open)), m_yieldTarget(yieldTarget), m_figures(std::make_unique<quality::Cache>()),
      m_drawings(std::make_unique<Drawings>()),
      m_http(std::make_unique<httplib::Server>())
{
    m_http->new_task_queue = [this] { return new Gate(m_port, kThreads); };
    // Without the library's SO_REUSEPORT a second server on the same port fails to bind instead of
    // sharing it.
    m_http->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    m_http->set_read_timeout(5);
    m_http->set_write_timeout(10);
    m_http->set_keep_alive_timeout(5);
    m_http->set_keep_alive_max_count(20);
    m_http->set_logger([](const httplib::Request &, const httplib::Response &) { Gate::answered(); });
    m_http->set_payload_max_length(64 * 1024);

    const auto page = [this](const httplib::Request &req, httplib::Response &res) {
        send(answerTimely(m_open, *m_figures, *m_drawings, m_yieldTarget, req), res);
    };
    // Any path, line ends and all: what is not text gets its 400 here. HEAD too: the library
    // answers it from the GET handler.
    m_http->Get(R"([\s\S]*)", page);
    const auto refuse = [](const httplib::Request &req, httplib::Response &res) {
        Gate::answering();
        send(problem(405, QStringLiteral("%1 is not allowed: this page only shows the records "
                                         "(GET and HEAD).")
                              .arg(QString::fromStdString(req.method))),
             res);
        res.set_header("Allow", "GET, HEAD");
    };
    m_http->Post(".*", refuse);
    m_http->Put(".*", refuse);
    m_http->Delete(".*", refuse);
    m_http->Patch(".*", refuse);
    m_http->Options(".*", refuse);
    m_http->set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (res.status == 414) // the library's own limit on the address
            send(problem(400, QStringLiteral("The address is longer than any id, serial or "
                                             "filter can be.")),
                 res);
        else if (res.body.empty())
            send(problem(res.status, QStringLiteral("The request could not be read.")), res);
        if (res.status == 405)
            res.set_header("Allow", "GET, HEAD");
    });
}

Server::~Server() = default;

base::Result<int> Server::bind(const QString &host, int port)
{
    const std::string address = host.toStdString();
    if (port == 0) {
        const int chosen = m_http->bind_to_any_port(address);
        if (chosen > 0)
            return m_port = chosen;
    } else if (m_http->bind_to_port(address, port)) {
        return m_port = port;
    }
    return base::fail(base::FailureKind::Unavailable,
                      QStringLiteral("cannot listen on %1:%2: the port is taken, or the address "
                                     "is not one of this machine's")
                          .arg(host)
                          .arg(port)
                          .toStdString());
}

void Server::serve()
{
    m_http->listen_after_bind();
}

void Server::stop()
{
    m_http->stop();
}

} // namespace plant
