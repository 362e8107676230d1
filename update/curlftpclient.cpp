#include "curlftpclient.h"

#include <QCoreApplication>
#include <QEvent>

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <system_error>

namespace update {

namespace {

// The client's request time-out, in seconds: for connecting and logging in, for each answer of
// the server, and for a transfer that stops moving.
constexpr long kRequestTimeout = 60;

CURL *handle(void *curl)
{
    return static_cast<CURL *>(curl);
}

size_t writeToFile(char *data, size_t size, size_t count, void *file)
{
    return std::fwrite(data, size, count, static_cast<std::FILE *>(file)) * size;
}

int abortWhenCancelled(void *cancelled, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<std::atomic<bool> *>(cancelled)->load() ? 1 : 0;
}

std::string hostOf(const std::string &address)
{
    std::string host;
    CURLU *url = curl_url();
    char *part = nullptr;
    if (curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
        host = part;
        curl_free(part);
    }
    curl_url_cleanup(url);
    return host;
}

// Names in the reserved .invalid domain never resolve, so there is no need to wait for a name
// server to say so; the default build's host is one of them.
bool isReservedInvalid(std::string host)
{
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!host.empty() && host.back() == '.')
        host.pop_back();
    constexpr std::string_view kDomain = ".invalid";
    return host == kDomain.substr(1) || (host.size() > kDomain.size() && host.ends_with(kDomain));
}

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};

std::FILE *openForWriting(const std::filesystem::path &path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

} // namespace

CurlFtpClient::CurlFtpClient(std::string caFile) : m_caFile(std::move(caFile))
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_curl = curl_easy_init();
}

CurlFtpClient::~CurlFtpClient()
{
    cancel();
    if (m_worker.joinable())
        m_worker.join();
    curl_easy_cleanup(handle(m_curl));
    curl_global_cleanup();
}

void CurlFtpClient::connect(const std::string &address)
{
    m_address = address;
    begin([this] {
        if (const std::string host = hostOf(m_address); isReservedInvalid(host))
            return FtpResult(base::fail(base::FailureKind::Unavailable,
                                        "Could not resolve host: " + host +
                                            " (the .invalid domain never resolves)"));
        CURL *curl = handle(m_curl);
        // The start directory without a listing: libcurl connects, logs in and stops there, and
        // keeps the connection for the fetches that follow.
        curl_easy_setopt(curl, CURLOPT_URL, (m_address + "/").c_str());
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        return perform();
    });
}

void CurlFtpClient::get(const std::string &remote, const std::filesystem::path &local)
{
    begin([this, remote, local] {
        // Into a file beside the target, which replaces the target only once it is complete.
        auto partial = local;
        partial += ".part";
        std::unique_ptr<std::FILE, FileCloser> file(openForWriting(partial));
        if (!file) {
            return FtpResult(base::fail(base::FailureKind::Unavailable,
                                        "cannot write " + partial.string() + ": " +
                                            std::generic_category().message(errno)));
        }
        CURL *curl = handle(m_curl);
        char *escaped = curl_easy_escape(curl, remote.c_str(), static_cast<int>(remote.size()));
        curl_easy_setopt(curl, CURLOPT_URL, (m_address + "/" + escaped).c_str());
        curl_free(escaped);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeToFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file.get());
        FtpResult result = perform();
        const bool written = std::fclose(file.release()) == 0;
        std::error_code error;
        if (result && !written)
            result = base::fail(base::FailureKind::Unavailable, "cannot write " + partial.string());
        if (result) {
            std::filesystem::rename(partial, local, error);
            if (error)
                result = base::fail(base::FailureKind::Unavailable,
                                    "cannot write " + local.string() + ": " + error.message());
        }
        std::filesystem::remove(partial, error);
        return result;
    });
}

bool CurlFtpClient::stillExecuting() const
{
    return m_executing.load(std::memory_order_acquire);
}

FtpResult CurlFtpClient::result() const
{
    return m_result;
}

void CurlFtpClient::cancel()
{
    m_cancelled = true;
}

void CurlFtpClient::begin(std::function<FtpResult()> work)
{
    if (m_worker.joinable())
        m_worker.join();
    m_cancelled = false;
    m_executing.store(true, std::memory_order_release);
    m_worker = std::thread([this, work = std::move(work)] {
        m_result = work();
        m_executing.store(false, std::memory_order_release);
        // Wakes a caller that waits for events.
        if (QCoreApplication *app = QCoreApplication::instance())
            QCoreApplication::postEvent(app, new QEvent(QEvent::None));
    });
}

FtpResult CurlFtpClient::perform()
{
    CURL *curl = handle(m_curl);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    if (!m_caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kRequestTimeout);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kRequestTimeout);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kRequestTimeout);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &m_cancelled);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorText);
    m_errorText[0] = '\0';

    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK)
        return {};
    std::string reason = m_errorText[0] != '\0' ? m_errorText : curl_easy_strerror(code);
    if (code == CURLE_REMOTE_FILE_NOT_FOUND)
        return FtpResult::notFound(std::move(reason));
    const bool late = code == CURLE_OPERATION_TIMEDOUT;
    return FtpResult(base::fail(late ? base::FailureKind::TimedOut : base::FailureKind::Unavailable,
                                std::move(reason)));
}

} // namespace update
