#pragma once

#include "updateplatform.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace update {

// The FTP client on libcurl. Each request runs on a worker thread; when it ends, the thread posts
// an empty event to the application so that a caller waiting for events wakes up. Encrypts when
// the server offers TLS and goes on in clear text when it does not.
class CurlFtpClient final : public FtpClient
{
public:
    // `caFile`: certificates to trust instead of the system's, for servers with their own CA.
    explicit CurlFtpClient(std::string caFile = {});
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient &) = delete;
    CurlFtpClient &operator=(const CurlFtpClient &) = delete;

    void connect(const std::string &address) override;
    void get(const std::string &remote, const std::filesystem::path &local) override;
    [[nodiscard]] bool stillExecuting() const override;
    [[nodiscard]] FtpResult result() const override;
    void cancel() override;

private:
    void begin(std::function<FtpResult()> work);
    FtpResult perform();

    void *m_curl;
    std::string m_caFile;
    std::string m_address;
    std::thread m_worker;
    std::atomic<bool> m_executing{false};
    std::atomic<bool> m_cancelled{false};
    // Written by the worker before it clears m_executing.
    FtpResult m_result;
    char m_errorText[256] = {};
};

} // namespace update
