// The splash's update check for real: libcurl against an FTP server on loopback, the updater
// started as a process of its own. Pauses run in virtual time.
#include "shell/launcher.h"
#include "update/curlftpclient.h"
#include "update/detachedstarter.h"

#include "platform/clock.h"
#include "testsupport/fakelink.h"
#include "testsupport/findchild.h"
#include "testsupport/recordingdialogs.h"
#include "testsupport/signing.h"
#include "testsupport/timers.h"
#include "testsupport/waitfor.h"
#include "updateconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;

// Leaves the folder it ran in as its mark, and ends.
constexpr const char *kTestUpdater = "#!/bin/sh\npwd > updater-ran\n";

// pyftpdlib serving a folder to the update account, with the password this build was made with.
class FtpServer
{
public:
    explicit FtpServer(const QString &directory)
    {
        m_process.setProgram("/usr/bin/python3");
        m_process.setArguments({VELMARO_FTP_SERVER, "--dir", directory, "--user",
                                update::kUpdateUser, "--password", velmaro::kUpdatePassword});
        m_process.start();
        while (!m_process.canReadLine() && m_process.waitForReadyRead(30000)) {
        }
        const QString line = QString::fromLatin1(m_process.readLine()).trimmed();
        if (!line.startsWith("port "))
            throw std::runtime_error("the FTP server did not start: " +
                                     m_process.readAllStandardError().toStdString());
        m_host = "127.0.0.1:" + line.mid(5).toStdString();
    }
    ~FtpServer()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }
    [[nodiscard]] const std::string &host() const { return m_host; }
    QString log() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    std::string m_host;
};

// A loopback port that nothing listens on.
std::string closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return "127.0.0.1:" + std::to_string(probe.serverPort());
}

class UpdateServer : public testing::Test
{
protected:
    // The updater's private copy goes into the temporary folder: one of the test's own, removed
    // with it.
    UpdateServer() : tmpBefore(qgetenv("TMPDIR")) { qputenv("TMPDIR", tmp.path().toLocal8Bit()); }
    ~UpdateServer() override
    {
        launcher.reset();
        qputenv("TMPDIR", tmpBefore);
    }
    UpdateServer(const UpdateServer &) = delete;
    UpdateServer &operator=(const UpdateServer &) = delete;

    void serve(const char *name, const QByteArray &content)
    {
        QFile file(remote.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    void serveUpdater()
    {
        serve("UpdateVelmaro.exe", kTestUpdater);
        serve("SetupUpdate.ini", "[Setup]\n");
    }

    // Opens the splash and runs its check as its timer would, with `key` built in.
    void check(const std::string &host, std::optional<update::PublicKey> key = std::nullopt)
    {
        launcher = std::make_unique<shell::Launcher>(
            clock, tone, dialogs, [this] { return std::make_unique<testsupport::FakeLink>(clock); },
            update::UpdateServices{std::make_unique<update::CurlFtpClient>(),
                                   std::make_unique<update::DetachedStarter>(),
                                   {host, velmaro::kUpdatePassword},
                                   local.path().toStdString(),
                                   key});
        finished = std::make_unique<QSignalSpy>(launcher.get(), &shell::Launcher::finished);
        launcher->start();
        splash = launcher->splash();
        testsupport::fire(testsupport::child<QTimer>(splash, "Timer1"));
    }

    QStringList localFiles() const { return QDir(local.path()).entryList(QDir::Files); }

    [[nodiscard]] bool wentOnToThePortSelection() const
    {
        const QWidget *next = launcher->portSelection();
        return next != nullptr && next->isVisibleTo(nullptr) && !launcher->splash() &&
               finished->count() == 0;
    }

    // The updater's mark: the folder it ran in.
    [[nodiscard]] QString updaterRanIn() const
    {
        QFile mark(local.filePath("updater-ran"));
        testsupport::waitFor([&] { return mark.exists() && mark.size() > 0; });
        return mark.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(mark.readAll()).trimmed()
                                              : QString();
    }

    QTemporaryDir tmp;
    QByteArray tmpBefore;
    QTemporaryDir remote;
    QTemporaryDir local;
    platform::VirtualClock clock;
    testsupport::RecordingTone tone;
    testsupport::RecordingDialogs dialogs;
    std::unique_ptr<shell::Launcher> launcher;
    std::unique_ptr<QSignalSpy> finished;
    const QWidget *splash = nullptr; // compared only: it is deleted once it has gone on
};

TEST_F(UpdateServer, EqualVersionGoesOn_ANewerOneStartsAnUpdaterFetchedEarlierWithoutItsXBit)
{
    serve("VerVelmaro.txt", "1.2.0\n");
    serveUpdater();
    FtpServer server(remote.path());
    check(server.host());
    EXPECT_TRUE(wentOnToThePortSelection());
    EXPECT_TRUE(localFiles().isEmpty()) << localFiles().join(", ").toStdString();
    EXPECT_EQ(clock.now(), platform::Millis{1000});

    serve("VerVelmaro.txt", "1.2.1\r\n");
    QFile updater(local.filePath("UpdateVelmaro.exe"));
    ASSERT_TRUE(updater.open(QIODevice::WriteOnly) && updater.write(kTestUpdater) > 0);
    updater.close();
    check(server.host());
    EXPECT_EQ(finished->count(), 1);
    EXPECT_EQ(updaterRanIn(), QDir(local.path()).canonicalPath());
    EXPECT_THAT(server.log().toStdString(), HasSubstr("<- AUTH TLS")) << "encrypts where it can";
}

TEST_F(UpdateServer, AnUnreachableServerGoesOnToThePortSelectionWithoutAPause)
{
    serveUpdater();
    for (const std::string &host : {closedPort(), std::string("update.velmaro.INVALID:21")}) {
        check(host);
        EXPECT_TRUE(wentOnToThePortSelection()) << host;
        EXPECT_EQ(clock.now(), platform::Millis{0}) << host;
        EXPECT_TRUE(dialogs.shown.empty()) << host;
        EXPECT_TRUE(localFiles().isEmpty()) << host;
    }
}

TEST_F(UpdateServer, ARecoveryWithoutAnUpdaterShowsItsMessageAndGoesOn)
{
    serve("VerVelmaro.txt", "1.2.x\n");
    FtpServer server(remote.path());
    check(server.host());

    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].owner, splash) << "the box belongs to the splash";
    EXPECT_THAT(dialogs.shown[0].text.toStdString(),
                testing::AllOf(HasSubstr("The updater UpdateVelmaro.exe could not be started"),
                               HasSubstr("could not be fetched from the update server")));
    EXPECT_TRUE(wentOnToThePortSelection());
    EXPECT_TRUE(localFiles().isEmpty()) << "a failed fetch leaves nothing behind";
}

TEST_F(UpdateServer, WithAKeyOnlyTheUpdaterItsMakerSignedRuns_FromACopyOfTheBytesChecked)
{
    // Leaves the folder it ran in and the file it ran from.
    const QByteArray updater = "#!/bin/sh\n{ pwd; echo \"$0\"; } > updater-ran\n";
    const testsupport::TestSigner maker;
    const testsupport::TestSigner stranger;
    const QByteArray signature = maker.sign(updater);
    const auto flipped = [](QByteArray bytes) {
        bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x01);
        return bytes;
    };
    const struct
    {
        const char *what;
        QByteArray updater;
        std::optional<QByteArray> signature; // none: the server has no signature file
    } cases[] = {{"the maker's signature", updater, signature},
                 {"a flipped byte in the updater", flipped(updater), signature},
                 {"a flipped byte in the signature", updater, flipped(signature)},
                 {"no signature", updater, std::nullopt},
                 {"another key's signature", updater, stranger.sign(updater)},
                 {"an empty updater", "", signature},
                 {"an empty signature", updater, ""}};

    serve("VerVelmaro.txt", "1.2.1\n");
    FtpServer server(remote.path());
    for (const auto &each : cases) {
        SCOPED_TRACE(each.what);
        serve("UpdateVelmaro.exe", each.updater);
        serve("SetupUpdate.ini", "[Setup]\n");
        QFile::remove(remote.filePath("UpdateVelmaro.exe.sig"));
        if (each.signature)
            serve("UpdateVelmaro.exe.sig", *each.signature);
        dialogs.shown.clear();
        const platform::Millis before = clock.now();
        // No updater here yet: the main path finds none and the recovery path fetches it.
        check(server.host(), maker.publicKey());
        EXPECT_EQ(clock.now() - before, platform::Millis{2500})
            << "five requests, each followed by the pause";

        if (each.signature == signature && each.updater == updater) {
            EXPECT_EQ(finished->count(), 1);
            EXPECT_TRUE(dialogs.shown.empty());
            const QStringList ran = updaterRanIn().split('\n');
            ASSERT_EQ(ran.size(), 2);
            EXPECT_EQ(ran[0], QDir(local.path()).canonicalPath());
            // It ran from a private copy of the bytes checked, not from the file here.
            QFile copy(ran[1]);
            EXPECT_NE(QFileInfo(copy).canonicalFilePath(),
                      QFileInfo(local.filePath("UpdateVelmaro.exe")).canonicalFilePath());
            EXPECT_TRUE(copy.open(QIODevice::ReadOnly) && copy.readAll() == updater);
            EXPECT_EQ(copy.permissions() & (QFile::WriteGroup | QFile::WriteOther), 0);
            QDir(QFileInfo(copy).absolutePath()).removeRecursively();
            QFile::remove(local.filePath("updater-ran"));
        } else {
            ASSERT_EQ(dialogs.shown.size(), 1U);
            EXPECT_THAT(dialogs.shown[0].text.toStdString(),
                        HasSubstr("The updater UpdateVelmaro.exe does not match its signature"));
            EXPECT_TRUE(wentOnToThePortSelection());
            EXPECT_THAT(localFiles(), testing::ElementsAre("SetupUpdate.ini"))
                << "the refused updater is deleted, and it never ran";
        }
        for (const QString &name : localFiles())
            QFile::remove(local.filePath(name));
    }
    EXPECT_EQ(server.log().count("FTP session opened"), 7)
        << "every fetch of a check goes over its one connection";
}

// A Linux folder name may hold any bytes; the program must say why it cannot start, not throw.
TEST(DetachedStarter, AFolderNameThatIsNotUtf8GivesAReason)
{
    const std::filesystem::path folder("/tmp/velmaro-\xff\xfe");
    const base::Status started =
        update::DetachedStarter().start(folder / "UpdateVelmaro.exe", folder);
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error(), "the file is not there");
}

} // namespace
