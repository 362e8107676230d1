#pragma once

#include "platform/clock.h"
#include "update/updateplatform.h"

#include <QCoreApplication>
#include <QEvent>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// An update server in memory behind the FTP client's interface. Fetched files are written for
// real; every request is recorded with the clock's time when it was made.
class FakeFtpClient final : public update::FtpClient
{
public:
    explicit FakeFtpClient(const platform::Clock &clock) : m_clock(clock) {}

    struct Request
    {
        std::string text; // "connect <address>" or "GET <remote> <local file name>"
        platform::Millis at;
    };

    void connect(const std::string &address) override
    {
        begin("connect " + address);
        if (refuseConnection)
            m_result = base::fail(base::FailureKind::Unavailable, "Couldn't connect to server");
        else
            m_connected = true;
    }

    void get(const std::string &remote, const std::filesystem::path &local) override
    {
        begin("GET " + remote + " " + local.filename().string());
        if (!m_connected) {
            m_result = base::fail(base::FailureKind::Unavailable, "not connected");
        } else if (brokenFetches.count(remote) != 0) {
            m_result = base::fail(base::FailureKind::Unavailable,
                                  "Transfer closed with outstanding read data remaining");
        } else if (const auto file = files.find(remote); file == files.end()) {
            m_result = update::FtpResult::notFound("The file does not exist");
        } else {
            std::ofstream(local, std::ios::binary) << file->second;
        }
    }

    [[nodiscard]] bool stillExecuting() const override
    {
        if (m_pollsLeft == 0)
            return false;
        --m_pollsLeft;
        if (whilePolled)
            whilePolled();
        // As the real client does when a request ends: wake a caller that waits for events.
        if (QCoreApplication *app = QCoreApplication::instance())
            QCoreApplication::postEvent(app, new QEvent(QEvent::None));
        return true;
    }
    [[nodiscard]] update::FtpResult result() const override { return m_result; }
    void cancel() override { ++cancels; }

    // The server's files by name.
    std::map<std::string, std::string> files;
    // Fetches of these names break off.
    std::set<std::string> brokenFetches;
    bool refuseConnection = false;
    // Each request reports itself still executing this many times before it ends, calling
    // `whilePolled` each time.
    int pollsPerRequest = 0;
    std::function<void()> whilePolled;
    std::vector<Request> requests;
    int cancels = 0;

private:
    void begin(std::string text)
    {
        requests.push_back({std::move(text), m_clock.now()});
        m_result = {};
        m_pollsLeft = pollsPerRequest;
    }

    const platform::Clock &m_clock;
    update::FtpResult m_result;
    bool m_connected = false;
    mutable int m_pollsLeft = 0;
};

// Records the programs it is asked to start; starts one only if its file is there.
class RecordingStarter final : public update::ProgramStarter
{
public:
    struct Started
    {
        std::filesystem::path program;
        std::filesystem::path workingDirectory;
    };

    base::Status start(const std::filesystem::path &program,
                       const std::filesystem::path &workingDirectory) override
    {
        if (!refusal.empty())
            return base::fail(base::FailureKind::Unavailable, refusal);
        if (!std::filesystem::exists(program))
            return base::fail(base::FailureKind::NotFound, "the file is not there");
        started.push_back({program, workingDirectory});
        return {};
    }

    // When set, every start fails with this reason.
    std::string refusal;
    std::vector<Started> started;
};

} // namespace testsupport
