// The splash's update check for real: libcurl against a loopback FTP server; virtual pauses.
#include "shell/launcher.h"
#include "update/curlftpclient.h"
#include "update/detachedstarter.h"

#include "platform/clock.h"
#include "testsupport/fakelink.h"
#include "testsupport/findchild.h"
#include "testsupport/infolder.h"
#include "testsupport/recordingdialogs.h"
#include "testsupport/signing.h"
#include "testsupport/silentserver.h"
#include "testsupport/timers.h"
#include "testsupport/waitfor.h"
#include "updateconfig.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
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
    // Fetches of the files named `broken` break off.
    explicit FtpServer(const QString &directory, const QStringList &broken = {})
    {
        m_process.setProgram("/usr/bin/python3");
        QStringList arguments{VELMARO_FTP_SERVER, "--dir", directory, "--user",
                              update::kUpdateUser, "--password", velmaro::kUpdatePassword};
        for (const QString &name : broken)
            arguments << "--broken" << name;
        m_process.setArguments(arguments);
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

// A loopback port that nothing listens on (once the probe has gone).
std::string closedPort()
{
    return "127.0.0.1:" + std::to_string(testsupport::SilentServer().port());
}

class UpdateServer : public testing::Test
{
protected:
    // The updater's private copy goes into the temporary folder, here the test's own.
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
        ASSERT_TRUE(testsupport::writeFile(remote.filePath(name), content));
    }

    // Opens the splash and runs its check as its timer would, with `key` built in.
    void check(const std::string &host, std::optional<update::PublicKey> key = std::nullopt)
    {
        open(host, std::move(key));
        testsupport::fire(testsupport::child<QTimer>(splash, "Timer1"));
    }
    void open(const std::string &host, std::optional<update::PublicKey> key = std::nullopt)
    {
        launcher = std::make_unique<shell::Launcher>(
            clock, tone, dialogs,
            [this]() -> std::unique_ptr<comm::SerialLink> {
                auto link = std::make_unique<testsupport::FakeLink>(clock);
                link->refuseOpen(portGone);
                return link;
            },
            update::UpdateServices{std::make_unique<update::CurlFtpClient>(),
                                   std::make_unique<update::DetachedStarter>(),
                                   {host, velmaro::kUpdatePassword},
                                   local.path().toStdString(),
                                   key});
        finished = std::make_unique<QSignalSpy>(launcher.get(), &shell::Launcher::finished);
        launcher->start();
        splash = launcher->splash();
    }

    QStringList localFiles() const { return QDir(local.path()).entryList(QDir::Files); }

    [[nodiscard]] bool wentOnToThePortSelection() const
    {
        const QWidget *next = launcher->portSelection();
        return next != nullptr && next->isVisibleTo(nullptr) && !launcher->splash() &&
               finished->count() == 0;
    }

    void removeLocalFiles() const
    {
        for (const QString &name : localFiles())
            QFile::remove(local.filePath(name));
    }

    [[nodiscard]] QString updaterRanIn() const
    {
        const QString mark = local.filePath("updater-ran");
        testsupport::waitFor([&] { return QFileInfo(mark).size() > 0; });
        return QString::fromLocal8Bit(testsupport::fileBytes(mark)).trimmed();
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
    QWidget *splash = nullptr; // deleted once it has gone on
    bool portGone = false;     // the ports the main window opens are gone
};

TEST_F(UpdateServer, EqualVersionGoesOn_ANewerOneStartsAnUpdaterFetchedEarlierWithoutItsXBit)
{
    serve("VerVelmaro.txt", "1.2.0\n");
    serve("UpdateVelmaro.exe", kTestUpdater);
    serve("SetupUpdate.ini", "[Setup]\n");
    FtpServer server(remote.path());
    check(server.host());
    EXPECT_TRUE(wentOnToThePortSelection());
    EXPECT_TRUE(localFiles().isEmpty()) << localFiles().join(", ").toStdString();
    EXPECT_EQ(clock.now(), platform::Millis{1000});

    serve("VerVelmaro.txt", "1.2.1\r\n");
    ASSERT_TRUE(testsupport::writeFile(local.filePath("UpdateVelmaro.exe"), kTestUpdater));
    check(server.host());
    EXPECT_EQ(finished->count(), 1);
    EXPECT_EQ(updaterRanIn(), QDir(local.path()).canonicalPath());
    EXPECT_THAT(server.log().toStdString(), HasSubstr("<- AUTH TLS")) << "encrypts where it can";
}

TEST_F(UpdateServer, AnUnreachableServerGoesOnToThePortSelectionWithoutAPause)
{
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
            EXPECT_EQ(testsupport::fileBytes(ran[1]), updater);
            EXPECT_EQ(copy.permissions() & (QFile::WriteGroup | QFile::WriteOther), 0);
            QDir(QFileInfo(copy).absolutePath()).removeRecursively();
        } else {
            ASSERT_EQ(dialogs.shown.size(), 1U);
            EXPECT_THAT(dialogs.shown[0].text.toStdString(),
                        HasSubstr("The updater UpdateVelmaro.exe does not match its signature"));
            EXPECT_TRUE(wentOnToThePortSelection());
            EXPECT_THAT(localFiles(), testing::ElementsAre("SetupUpdate.ini"))
                << "the refused updater is deleted, and it never ran";
        }
        removeLocalFiles();
    }
    EXPECT_EQ(server.log().count("FTP session opened"), 7)
        << "every fetch of a check goes over its one connection";
}

// The failure paths, each on a server of its own: the recovery path pauses after every request, a
// failed one too, and the main path ends at a broken fetch without one; an updater that does not
// start is fetched anew and tried once more; a signature whose fetch breaks off refuses it.
TEST_F(UpdateServer, FailurePathsPauseWhereTheyShouldAndSayWhy)
{
    const testsupport::TestSigner maker;
    const struct
    {
        const char *what;
        const char *version; // none: the server has no version file
        QStringList broken;
        QByteArray updater;
        std::optional<update::PublicKey> key;
        long pauses;     // milliseconds
        const char *box; // none: the check goes on in silence
    } cases[] = {
        {"no version file, the updater's fetches break off", nullptr,
         {"UpdateVelmaro.exe", "SetupUpdate.ini"}, kTestUpdater, std::nullopt, 2000,
         "could not be fetched from the update server: "},
        {"the version file's fetch breaks off", "1.3.0\n", {"VerVelmaro.txt"}, kTestUpdater,
         std::nullopt, 500, nullptr},
        {"an empty version file", "", {}, "no program", std::nullopt, 2000, "could not be started"},
        {"an updater that does not run", "2.0.0\n", {}, "no program", std::nullopt, 2000,
         "could not be started"},
        {"the signature's fetch breaks off", "1.2\n", {"UpdateVelmaro.exe.sig"}, kTestUpdater,
         maker.publicKey(), 2500, "does not match its signature: cannot fetch UpdateVelmaro.exe.sig"},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.what);
        for (const char *name : {"VerVelmaro.txt", "UpdateVelmaro.exe.sig"})
            QFile::remove(remote.filePath(name));
        if (each.version)
            serve("VerVelmaro.txt", each.version);
        serve("UpdateVelmaro.exe", each.updater);
        serve("SetupUpdate.ini", "[Setup]\n");
        if (each.key) // a file there, so that its fetch can break off
            serve("UpdateVelmaro.exe.sig", maker.sign(each.updater));
        dialogs.shown.clear();
        FtpServer server(remote.path(), each.broken);
        const platform::Millis before = clock.now();
        check(server.host(), each.key);

        EXPECT_EQ((clock.now() - before).count(), each.pauses);
        EXPECT_TRUE(wentOnToThePortSelection());
        ASSERT_EQ(dialogs.shown.size(), each.box ? 1U : 0U);
        if (each.box) {
            EXPECT_THAT(dialogs.shown[0].text.toStdString(), HasSubstr(each.box));
            EXPECT_EQ(dialogs.shown[0].text.contains("could not be fetched"),
                      each.broken.contains("UpdateVelmaro.exe"));
        }
        EXPECT_FALSE(QFile::exists(local.filePath("updater-ran")));
        // An empty version file cannot be read and stays behind; a refused updater is deleted.
        EXPECT_EQ(localFiles().contains("VerVelmaro.txt"), each.version && !*each.version);
        EXPECT_FALSE(localFiles().contains("UpdateVelmaro.exe") && each.key);
        removeLocalFiles();
    }
}

TEST_F(UpdateServer, APortGoneSinceTheListWasBuiltLeadsBackToAFreshPortList)
{
    check(closedPort());
    QPointer<QWidget> first = launcher->portSelection();
    ASSERT_TRUE(first);

    portGone = true;
    auto *ports = testsupport::child<QComboBox>(first, "ComboSerialPort");
    ports->setCurrentIndex(2);
    emit ports->activated(2);
    QPointer<QWidget> main = launcher->mainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(testsupport::waitFor([&] { return !main && !first; }))
        << "the old list and the main window are gone";

    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_TRUE(dialogs.shown[0].text.contains("COM3"));
    ASSERT_TRUE(launcher->portSelection());
    EXPECT_EQ(finished->count(), 0);

    launcher->portSelection()->close();
    EXPECT_EQ(finished->count(), 1);
}

TEST_F(UpdateServer, ClosingTheSplashBeforeTheCheckOrDuringARequestEndsTheProgramWithoutAsking)
{
    testsupport::SilentServer silent;
    for (const bool during : {false, true}) {
        open("127.0.0.1:" + std::to_string(silent.port()));
        QTimer closer; // closes the splash once the check's request waits on the server
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (silent.clientWaiting())
                splash->close();
        });
        if (during) {
            closer.start(10);
            testsupport::fire(testsupport::child<QTimer>(splash, "Timer1"));
        } else {
            splash->close();
            EXPECT_FALSE(testsupport::child<QTimer>(splash, "Timer1")->isActive());
        }
        EXPECT_EQ(finished->count(), 1) << during;
        EXPECT_FALSE(launcher->portSelection()) << during;
        EXPECT_EQ(clock.now(), platform::Millis{0}) << during;
        EXPECT_TRUE(dialogs.shown.empty() && localFiles().isEmpty()) << during;
    }
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
