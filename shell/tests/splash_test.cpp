// The splash window: its look, its timer, and how it hands over, on an update server in memory.
#include "shell/frmsplash.h"
#include "shell/launcher.h"

#include "link/clock.h"
#include "testsupport/fakelink.h"
#include "testsupport/fakeupdate.h"
#include "testsupport/recordingdialogs.h"
#include "testsupport/waitfor.h"

#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Splash : public testing::Test
{
protected:
    Splash()
    {
        auto client = std::make_unique<testsupport::FakeFtpClient>(clock);
        auto updateStarter = std::make_unique<testsupport::RecordingStarter>();
        ftp = client.get();
        starter = updateStarter.get();
        launcher = std::make_unique<shell::Launcher>(
            clock, tone, dialogs, [this] { return std::make_unique<testsupport::FakeLink>(clock); },
            shell::UpdateServices{std::move(client),
                                  std::move(updateStarter),
                                  {"updates.example", "secret_Pass"},
                                  directory.path().toStdString()});
        finished = std::make_unique<QSignalSpy>(launcher.get(), &shell::Launcher::finished);
        launcher->start();
        splash = launcher->splash();
    }

    comm::VirtualClock clock;
    testsupport::RecordingTone tone;
    testsupport::RecordingDialogs dialogs;
    QTemporaryDir directory;
    testsupport::FakeFtpClient *ftp = nullptr;
    testsupport::RecordingStarter *starter = nullptr;
    std::unique_ptr<shell::Launcher> launcher;
    std::unique_ptr<QSignalSpy> finished;
    shell::frmSplash *splash = nullptr;
};

TEST_F(Splash, LooksAsDesignedAndSitsInTheMiddleOfTheScreen)
{
    ASSERT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->windowTitle(), "RIZA Vevezov");
    EXPECT_EQ(splash->size(), QSize(213, 138)); // 3195 x 2070 twips
    EXPECT_EQ(splash->palette().color(QPalette::Window), QColor(0, 192, 192));
    EXPECT_EQ(splash->frameGeometry().center(), splash->screen()->geometry().center());

    EXPECT_EQ(splash->Picture1->geometry(), QRect(8, 8, 34, 34));
    EXPECT_EQ(splash->Picture1->pixmap().size(), QSize(32, 32));

    const QLabel *title = splash->Label1;
    EXPECT_EQ(title->text(), "Velmaro");
    EXPECT_EQ(title->geometry(), QRect(0, 72, 217, 41));
    EXPECT_EQ(title->font().pointSizeF(), 21.75);
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_EQ(title->palette().color(QPalette::Window), QColor(255, 255, 192));
    EXPECT_TRUE(title->alignment() & Qt::AlignHCenter);
}

TEST_F(Splash, Timer1TicksOnceAndTheCheckLeadsToThePortSelection)
{
    EXPECT_TRUE(splash->Timer1.isActive());
    EXPECT_EQ(splash->Timer1.interval(), 300);
    EXPECT_TRUE(ftp->requests.empty()) << "nothing is asked before the tick";
    ftp->files["VerVelmaro.txt"] = "1.2.0\n";
    const QPointer<shell::frmSplash> alive(splash);

    splash->Timer1_Timer();

    EXPECT_EQ(ftp->requests.size(), 2U);
    EXPECT_FALSE(splash->isVisible());
    const comm::frmComPort *next = launcher->portSelection();
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->isVisibleTo(nullptr));
    EXPECT_EQ(next->ComboSerialPort->count(), 20);
    EXPECT_EQ(finished->count(), 0);
    EXPECT_TRUE(testsupport::waitFor([&] { return !alive; })) << "the splash is unloaded";
}

TEST_F(Splash, ClosingItBeforeTheCheckEndsTheProgramWithoutAsking)
{
    splash->close();

    EXPECT_FALSE(splash->Timer1.isActive());
    EXPECT_EQ(finished->count(), 1);
    EXPECT_TRUE(ftp->requests.empty());
}

TEST_F(Splash, ClosingItDuringARequestCallsOffTheCheck)
{
    ftp->files["VerVelmaro.txt"] = "9.0.0\n";
    ftp->files["UpdateVelmaro.exe"] = "#!/bin/sh\n";
    ftp->pollsPerRequest = 1;
    ftp->whilePolled = [this] { splash->close(); };

    splash->Timer1_Timer();

    EXPECT_EQ(ftp->cancels, 1);
    EXPECT_EQ(ftp->requests.size(), 1U);
    EXPECT_TRUE(starter->started.empty());
    EXPECT_FALSE(launcher->portSelection());
    EXPECT_EQ(finished->count(), 1);
}

} // namespace
