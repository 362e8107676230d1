#include "updatecheck.h"

#include "updateconfig.h"

#include "platform/clock.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

namespace update {

namespace {

constexpr platform::Millis kPauseAfterRequest{500};

// The first line of the file at `path`, which is deleted once the line is read. Nothing when the
// file cannot be opened, holds nothing to read, or cannot be deleted; `why` says which.
std::optional<std::string> takeFirstLine(const std::filesystem::path &path, std::string &why)
{
    std::string line;
    {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            why = "the version file " + path.filename().string() + " is not there";
            return std::nullopt;
        }
        if (file.peek() == std::ifstream::traits_type::eof()) {
            why = "the version file " + path.filename().string() + " is empty";
            return std::nullopt;
        }
        std::getline(file, line);
    }
    // A line ends at a line feed, a carriage return, or both.
    if (const auto end = line.find('\r'); end != std::string::npos)
        line.erase(end);

    std::error_code error;
    if (!std::filesystem::remove(path, error)) {
        why = "the version file " + path.filename().string() +
              " cannot be deleted: " + error.message();
        return std::nullopt;
    }
    return line;
}

} // namespace

UpdateServer configuredUpdateServer()
{
    UpdateServer server{velmaro::kUpdateHost, velmaro::kUpdatePassword};
    if (const char *host = std::getenv("VELMARO_UPDATE_HOST"); host && *host)
        server.host = host;
    return server;
}

std::string updateAddress(const UpdateServer &server)
{
    return std::string("ftp://") + kUpdateUser + ":" + server.password + "@" + server.host;
}

UpdateCheck::UpdateCheck(FtpClient &ftp, ProgramStarter &starter, platform::Clock &clock,
                         std::filesystem::path directory, std::function<void()> processEvents)
    : m_ftp(ftp), m_starter(starter), m_clock(clock), m_directory(std::move(directory)),
      m_processEvents(std::move(processEvents))
{}

UpdateOutcome UpdateCheck::run(const std::string &address, const Version &own)
{
    using Kind = UpdateOutcome::Kind;
    using Status = FtpResult::Status;

    const FtpResult connected = request([&] { m_ftp.connect(address); });
    if (m_cancelled)
        return {Kind::Cancelled, {}};
    if (connected.status != Status::Done)
        return {Kind::ServerUnavailable, "cannot connect to the update server: " + connected.error};

    const auto versionFile = m_directory / kVersionFile;
    const FtpResult fetched = request([&] { m_ftp.get(kVersionFile, versionFile); });
    if (m_cancelled)
        return {Kind::Cancelled, {}};
    if (fetched.status == Status::Failed) {
        return {Kind::ServerUnavailable,
                std::string("cannot fetch ") + kVersionFile + ": " + fetched.error};
    }
    // The server answered but has no version file: there is nothing to read, as when the fetch
    // left no file behind.
    if (fetched.status == Status::NotFound)
        return recover(std::string("the update server has no ") + kVersionFile);

    std::string why;
    const auto line = takeFirstLine(versionFile, why);
    if (!line)
        return recover(why);
    const VersionParse parsed = parseVersionLine(*line);
    if (!parsed.version)
        return recover(parsed.error);
    if (!updateDue(*parsed.version, own))
        return {Kind::NoUpdate, "the update server offers version " + *line};

    const std::string error = m_starter.start(m_directory / kUpdaterFile, m_directory);
    if (!error.empty()) {
        return recover(std::string("the updater ") + kUpdaterFile +
                       " could not be started: " + error);
    }
    return {Kind::UpdaterStarted, "the update server offers version " + *line};
}

UpdateOutcome UpdateCheck::recover(const std::string &why)
{
    // Here a failed request is followed by the pause as well: the next one goes out regardless.
    const auto fetch = [this](const char *file) {
        const FtpResult result = request([&] { m_ftp.get(file, m_directory / file); });
        if (result.status == FtpResult::Status::Failed && !m_cancelled)
            m_clock.sleep(kPauseAfterRequest);
        return result;
    };
    const FtpResult updater = fetch(kUpdaterFile);
    if (m_cancelled)
        return {UpdateOutcome::Kind::Cancelled, {}};
    fetch(kUpdaterSettingsFile);
    if (m_cancelled)
        return {UpdateOutcome::Kind::Cancelled, {}};

    const std::string error = m_starter.start(m_directory / kUpdaterFile, m_directory);
    if (error.empty())
        return {UpdateOutcome::Kind::UpdaterStarted, why + "; the updater was fetched anew"};

    std::string detail =
        std::string("The updater ") + kUpdaterFile + " could not be started: " + error + ".";
    if (updater.status != FtpResult::Status::Done)
        detail +=
            std::string("\nIt could not be fetched from the update server: ") + updater.error + ".";
    return {UpdateOutcome::Kind::UpdaterNotStarted, detail};
}

void UpdateCheck::cancel()
{
    m_cancelled = true;
    m_ftp.cancel();
}

FtpResult UpdateCheck::request(const std::function<void()> &start)
{
    start();
    while (m_ftp.stillExecuting())
        m_processEvents();
    FtpResult result = m_ftp.result();
    // A request the client gave up on ends its step at once; one the server answered is
    // followed by the pause.
    if (result.status != FtpResult::Status::Failed && !m_cancelled)
        m_clock.sleep(kPauseAfterRequest);
    return result;
}

} // namespace update
