#include "updatecheck.h"

#include "updateconfig.h"

#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace update {

namespace {

constexpr platform::Millis kPauseAfterRequest{500};

// The first line of the file at `path`, which is deleted once the line is read. A failure when
// the file cannot be opened, holds nothing to read, or cannot be deleted.
base::Result<std::string> takeFirstLine(const std::filesystem::path &path)
{
    std::string line;
    {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return base::fail(base::FailureKind::NotFound,
                              "the version file " + path.filename().string() + " is not there");
        if (file.peek() == std::ifstream::traits_type::eof())
            return base::fail(base::FailureKind::Damaged,
                              "the version file " + path.filename().string() + " is empty");
        std::getline(file, line);
    }
    // A line ends at a line feed, a carriage return, or both.
    if (const auto end = line.find('\r'); end != std::string::npos)
        line.erase(end);

    std::error_code error;
    if (!std::filesystem::remove(path, error)) {
        return base::fail(base::FailureKind::Unavailable,
                          "the version file " + path.filename().string() +
                              " cannot be deleted: " + error.message());
    }
    return line;
}

// The whole content of the file at `path`.
base::Result<std::string> readWhole(const std::filesystem::path &path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return base::fail(base::FailureKind::NotFound, "the file is not there");
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file.tellg();
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(size, 0)), '\0');
    if (!file || size < 0 || !file.seekg(0) ||
        !file.read(bytes.data(), static_cast<std::streamsize>(size)))
        return base::fail(base::FailureKind::Unavailable, "the file cannot be read");
    return bytes;
}

// `bytes` written to a new file named `name` in a new folder that only this user may change, so
// that nothing can swap the program between its check and its start. The folder stays: the
// program runs from it after this one has ended.
base::Result<std::filesystem::path> privateCopy(const std::string &bytes, const char *name)
{
    QTemporaryDir folder(QDir::tempPath() + "/velmaro-updater-XXXXXX");
    if (!folder.isValid())
        return base::fail(base::FailureKind::Unavailable,
                          "no private folder for it: " + folder.errorString().toStdString());
    folder.setAutoRemove(false);
    QFile copy(folder.filePath(QString::fromUtf8(name)));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        copy.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !copy.flush() ||
        !copy.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return base::fail(base::FailureKind::Unavailable, "it cannot be copied to " +
                                                              copy.fileName().toStdString() + ": " +
                                                              copy.errorString().toStdString());
    }
    return std::filesystem::path(copy.fileName().toStdU16String());
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
                         std::filesystem::path directory, std::function<void()> processEvents,
                         std::optional<PublicKey> publicKey)
    : m_ftp(ftp), m_starter(starter), m_clock(clock), m_directory(std::move(directory)),
      m_processEvents(std::move(processEvents)), m_publicKey(publicKey)
{}

UpdateOutcome UpdateCheck::run(const std::string &address, const Version &own)
{
    using Kind = UpdateOutcome::Kind;

    const FtpResult connected = request([&] { m_ftp.connect(address); });
    if (m_cancelled)
        return {Kind::Cancelled, {}};
    if (!connected)
        return {Kind::ServerUnavailable,
                "cannot connect to the update server: " + connected.error()};

    const auto versionFile = m_directory / kVersionFile;
    const FtpResult fetched = request([&] { m_ftp.get(kVersionFile, versionFile); });
    if (m_cancelled)
        return {Kind::Cancelled, {}};
    if (!fetched && !fetched.isNotFound()) {
        return {Kind::ServerUnavailable,
                std::string("cannot fetch ") + kVersionFile + ": " + fetched.error()};
    }
    // The server answered but has no version file: there is nothing to read, as when the fetch
    // left no file behind.
    if (fetched.isNotFound())
        return recover(std::string("the update server has no ") + kVersionFile);

    const auto line = takeFirstLine(versionFile);
    if (!line)
        return recover(line.error());
    const auto parsed = parseVersionLine(*line);
    if (!parsed)
        return recover(parsed.error());
    if (!updateDue(*parsed, own))
        return {Kind::NoUpdate, "the update server offers version " + *line};

    const UpdateOutcome started = startUpdater();
    switch (started.kind) {
    case Kind::UpdaterStarted:
        return {Kind::UpdaterStarted, "the update server offers version " + *line};
    case Kind::SignatureRefused:
        // An updater left from an earlier check may be older than the signature: fetch both anew.
        return recover(std::string("the updater ") + kUpdaterFile +
                       " does not match its signature: " + started.detail);
    case Kind::UpdaterNotStarted:
        return recover(std::string("the updater ") + kUpdaterFile +
                       " could not be started: " + started.detail);
    default:
        return started;
    }
}

UpdateOutcome UpdateCheck::recover(const std::string &why)
{
    // Here a failed request is followed by the pause as well: the next one goes out regardless.
    const auto fetch = [this](const char *file) {
        const FtpResult result = request([&] { m_ftp.get(file, m_directory / file); });
        if (!result && !result.isNotFound() && !m_cancelled)
            m_clock.sleep(kPauseAfterRequest);
        return result;
    };
    const FtpResult updater = fetch(kUpdaterFile);
    if (m_cancelled)
        return {UpdateOutcome::Kind::Cancelled, {}};
    fetch(kUpdaterSettingsFile);
    if (m_cancelled)
        return {UpdateOutcome::Kind::Cancelled, {}};

    const UpdateOutcome started = startUpdater();
    if (started.kind == UpdateOutcome::Kind::UpdaterStarted)
        return {UpdateOutcome::Kind::UpdaterStarted, why + "; the updater was fetched anew"};
    if (started.kind == UpdateOutcome::Kind::SignatureRefused) {
        return {UpdateOutcome::Kind::SignatureRefused,
                std::string("The updater ") + kUpdaterFile + " does not match its signature: " +
                    started.detail + ". It was deleted and not started."};
    }
    if (started.kind != UpdateOutcome::Kind::UpdaterNotStarted)
        return started;

    std::string detail = std::string("The updater ") + kUpdaterFile +
                         " could not be started: " + started.detail + ".";
    if (!updater)
        detail += std::string("\nIt could not be fetched from the update server: ") +
                  updater.error() + ".";
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
    if ((result || result.isNotFound()) && !m_cancelled)
        m_clock.sleep(kPauseAfterRequest);
    return result;
}

UpdateOutcome UpdateCheck::startUpdater()
{
    using Kind = UpdateOutcome::Kind;
    const auto updater = m_directory / kUpdaterFile;
    if (!m_publicKey) {
        qInfo("Update check: the updater %s is not verified: this build holds no update key",
              kUpdaterFile);
        const base::Status started = m_starter.start(updater, m_directory);
        if (!started)
            return {Kind::UpdaterNotStarted, started.error()};
        return {Kind::UpdaterStarted, {}};
    }

    // The bytes checked are the bytes that run: read once, checked in memory, and started from a
    // private copy of them.
    const auto bytes = readWhole(updater);
    if (!bytes)
        return {Kind::UpdaterNotStarted, bytes.error()};
    const auto signature = fetchSignature();
    if (m_cancelled)
        return {Kind::Cancelled, {}};
    std::string refusal;
    if (!signature)
        refusal = signature.error();
    else if (!signatureMatches(*m_publicKey, *bytes, *signature))
        refusal =
            std::string(kSignatureFile) + " was not made with the maker's key for these bytes";
    if (!refusal.empty()) {
        std::error_code ignored;
        std::filesystem::remove(updater, ignored);
        return {Kind::SignatureRefused, refusal};
    }

    const auto copy = privateCopy(*bytes, kUpdaterFile);
    if (!copy)
        return {Kind::UpdaterNotStarted, copy.error()};
    const base::Status started = m_starter.start(*copy, m_directory);
    if (!started)
        return {Kind::UpdaterNotStarted, started.error()};
    return {Kind::UpdaterStarted, {}};
}

base::Result<Signature> UpdateCheck::fetchSignature()
{
    const auto path = m_directory / kSignatureFile;
    const FtpResult fetched = request([&] { m_ftp.get(kSignatureFile, path); });
    // Unlike the version file's, this fetch is followed by the pause even when it failed.
    if (!fetched && !fetched.isNotFound() && !m_cancelled)
        m_clock.sleep(kPauseAfterRequest);
    if (fetched.isNotFound())
        return base::fail(base::FailureKind::NotFound,
                          std::string("the update server has no ") + kSignatureFile);
    if (!fetched)
        return base::fail(fetched.kind(),
                          std::string("cannot fetch ") + kSignatureFile + ": " + fetched.error());

    const auto bytes = readWhole(path);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (!bytes)
        return base::fail(bytes.kind(), std::string(kSignatureFile) + ": " + bytes.error());
    return readSignature(*bytes, kSignatureFile);
}

} // namespace update
