// The start-up sequence of the main window, from its first activation.
#include "testsupport/mainwindowfixture.h"

#include "shell/frmcomport.h"
#include "shell/launcher.h"
#include "testsupport/fakeupdate.h"
#include "update/frmsplash.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;

using StartUp = MainWindowFixture;

TEST_F(StartUp, ReadyLens_SendsTheStartUpLinesInOrderAndFillsTheLists)
{
    createOnController();
    showAndStart();

    EXPECT_THAT(linesReceived(), ElementsAre("init = @OUT[01];init=?", "SHX", "SHY", "SHZ", "SHW",
                                             "zoom=75", "iris=1", "PAW=focusmin;BGW"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(form->isVisible());
    const auto *focalLength = find<QComboBox>("ComboFocalLength");
    ASSERT_EQ(focalLength->count(), 86);
    EXPECT_EQ(focalLength->currentIndex(), 0);
    EXPECT_EQ(find<QTreeWidget>("ListView1")->topLevelItemCount(), 86);
    EXPECT_TRUE(find<QTimer>("Timer1")->isActive());
    EXPECT_TRUE(find("Text0")->hasFocus());
    EXPECT_TRUE(form->channel().PendingCount() > 0) << "the acknowledgements stay unread";
}

struct FailurePath
{
    const char *name;
    sim::Faults faults;
    const char *message;
    std::vector<std::string> lines;
};

class StartUpFailure : public StartUp, public testing::WithParamInterface<FailurePath>
{
};

TEST_P(StartUpFailure, ShowsItsMessageSendsNothingFurtherAndEnds)
{
    const FailurePath &path = GetParam();
    createOnController(path.faults);
    showAndStart();

    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, path.message);
    EXPECT_EQ(linesReceived(), path.lines);
    EXPECT_EQ(unloaded->count(), 1);
    EXPECT_FALSE(find<QTimer>("Timer1")->isActive());
}

INSTANTIATE_TEST_SUITE_P(Paths, StartUpFailure,
                         testing::Values(FailurePath{"NoAnswer",
                                                     sim::Faults{.silent = true},
                                                     "Unable to establish connection !",
                                                     {"init = @OUT[01];init=?"}},
                                         FailurePath{"NotInitialised",
                                                     sim::Faults{.notInitialised = true},
                                                     "Lens initialization not completed !",
                                                     {"init = @OUT[01];init=?", "allarme=?"}},
                                         FailurePath{
                                             "Alarm",
                                             sim::Faults{.alarm = 4},
                                             "Initialization not possible! Errore #4",
                                             {"init = @OUT[01];init=?", "allarme=?", "errore=?"}}),
                         [](const auto &path) { return std::string(path.param.name); });

TEST_F(StartUp, AReplyShorterThanThreeCharactersCountsAsReady)
{
    auto &script = createOnScript();
    script.answer(":");
    showAndStart();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(script.written.size(), 8U);
    EXPECT_EQ(script.written.back(), "PAW=focusmin;BGW\r");
}

TEST_F(StartUp, AnAlarmWithAnEmptyErrorReplyEndsTheMessageAtTheHash)
{
    auto &script = createOnScript();
    script.answer(": 0.0000\r\n");
    script.answer(" 11.0000\r\n", platform::Millis{700});
    showAndStart();
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, "Initialization not possible! Errore #");
}

// The splash, the port list and the main window in turn, on an update server in memory.
class Launcher : public testing::Test
{
protected:
    Launcher()
    {
        auto client = std::make_unique<testsupport::FakeFtpClient>(clock);
        auto updateStarter = std::make_unique<testsupport::RecordingStarter>();
        ftp = client.get();
        starter = updateStarter.get();
        launcher = std::make_unique<shell::Launcher>(
            clock, tone, dialogs,
            [this]() -> std::unique_ptr<comm::SerialLink> {
                auto link = std::make_unique<testsupport::FakeLink>(clock);
                link->refuseOpen(portGone);
                return link;
            },
            update::UpdateServices{std::move(client),
                                   std::move(updateStarter),
                                   {"updates.example", "secret_Pass"},
                                   directory.path().toStdString()});
        finished = std::make_unique<QSignalSpy>(launcher.get(), &shell::Launcher::finished);
        launcher->start();
        splash = launcher->splash();
    }

    platform::VirtualClock clock;
    testsupport::RecordingTone tone;
    testsupport::RecordingDialogs dialogs;
    QTemporaryDir directory;
    bool portGone = false;
    testsupport::FakeFtpClient *ftp = nullptr;
    testsupport::RecordingStarter *starter = nullptr;
    std::unique_ptr<shell::Launcher> launcher;
    std::unique_ptr<QSignalSpy> finished;
    update::frmSplash *splash = nullptr;
};

TEST_F(Launcher, APortGoneSinceTheListWasBuiltLeadsBackToAFreshPortList)
{
    ftp->refuseConnection = true;
    testsupport::fire(testsupport::child<QTimer>(splash, "Timer1"));
    QPointer<shell::frmComPort> first = launcher->portSelection();
    ASSERT_TRUE(first);

    portGone = true;
    // The operator picks the third port of the list.
    auto *ports = testsupport::child<QComboBox>(first, "ComboSerialPort");
    ports->setCurrentIndex(2);
    emit ports->activated(2);
    QPointer<shell::frmMain> main = launcher->mainWindow();
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

TEST_F(Launcher, ClosingTheSplashBeforeTheCheckEndsTheProgramWithoutAsking)
{
    splash->close();

    EXPECT_FALSE(testsupport::child<QTimer>(splash, "Timer1")->isActive());
    EXPECT_EQ(finished->count(), 1);
    EXPECT_TRUE(ftp->requests.empty());
}

TEST_F(Launcher, ClosingTheSplashDuringARequestCallsOffTheCheck)
{
    ftp->files["VerVelmaro.txt"] = "9.0.0\n";
    ftp->files["UpdateVelmaro.exe"] = "#!/bin/sh\n";
    ftp->pollsPerRequest = 1;
    ftp->whilePolled = [this] { splash->close(); };

    testsupport::fire(testsupport::child<QTimer>(splash, "Timer1"));

    EXPECT_EQ(ftp->cancels, 1);
    EXPECT_EQ(ftp->requests.size(), 1U);
    EXPECT_EQ(clock.now(), platform::Millis{0});
    EXPECT_TRUE(starter->started.empty());
    EXPECT_FALSE(launcher->portSelection());
    EXPECT_EQ(finished->count(), 1);
}

} // namespace
