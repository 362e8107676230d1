#pragma once

#include "shell/frmmain.h"

#include "link/modvariabili.h"
#include "platform/clock.h"
#include "sim/controller.h"
#include "sim/simlink.h"
#include "testsupport/fakelink.h"
#include "testsupport/findchild.h"
#include "testsupport/qtprint.h"
#include "testsupport/recordingdialogs.h"
#include "testsupport/timers.h"
#include "testsupport/waitfor.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// A main window on the in-process controller (or on scripted answers), in virtual time.
class MainWindowFixture : public testing::Test
{
protected:
    void createOnController(sim::Faults faults = {})
    {
        controller.emplace(faults);
        create(std::make_unique<sim::SimLink>(*controller, clock));
    }

    testsupport::FakeLink &createOnScript()
    {
        auto link = std::make_unique<testsupport::FakeLink>(clock);
        auto &fake = *link;
        create(std::move(link));
        return fake;
    }

    // Shows the window as the port selection does; its first activation runs the start-up.
    void showAndStart(int port = 1)
    {
        modVariabili::PortNumber = static_cast<std::int16_t>(port);
        form->show();
        ASSERT_TRUE(testsupport::waitFor(
            [this] { return unloaded->count() > 0 || find<QTimer>("Timer1")->isActive(); }));
    }

    // One tick of the window's timer `name`, as its interval gives it.
    void tick(const QString &name) const { testsupport::fire(find<QTimer>(name)); }

    template <class T = QWidget> T *find(const QString &name) const
    {
        return testsupport::child<T>(form.get(), name);
    }

    // On the controller, started without a message, the readout stopped: sent() holds the test's.
    void startQuiet()
    {
        createOnController();
        showAndStart();
        ASSERT_TRUE(dialogs.shown.empty());
        find<QTimer>("Timer1")->stop();
        markSent();
    }
    void markSent() { m_sentBefore = controller->receivedLines().size(); }

    // Lines the controller received since startQuiet() or markSent().
    std::vector<std::string> sent() const
    {
        const auto all = linesReceived();
        return {all.begin() + static_cast<std::ptrdiff_t>(m_sentBefore), all.end()};
    }

    std::vector<std::string> linesReceived() const { return received(*controller); }
    static std::vector<std::string> received(const sim::Controller &device)
    {
        std::vector<std::string> lines;
        for (const auto &line : device.receivedLines())
            lines.push_back(line.text);
        return lines;
    }

    platform::VirtualClock clock;
    std::optional<sim::Controller> controller;
    testsupport::RecordingTone tone;
    testsupport::RecordingDialogs dialogs;
    // Where the window hands every run and every saved cam table; none when null.
    runin::RunRecorder *recorder = nullptr;
    camtable::CamRecorder *camRecorder = nullptr;
    std::unique_ptr<shell::frmMain> form;
    std::unique_ptr<QSignalSpy> unloaded;
    std::unique_ptr<QSignalSpy> portOpenFailed;
    std::size_t m_sentBefore = 0;

    void create(std::unique_ptr<comm::SerialLink> link)
    {
        form = std::make_unique<shell::frmMain>(
            shell::Platform{std::move(link), clock, tone, dialogs, recorder, camRecorder});
        unloaded = std::make_unique<QSignalSpy>(form.get(), &shell::frmMain::unloaded);
        portOpenFailed = std::make_unique<QSignalSpy>(form.get(), &shell::frmMain::portOpenFailed);
    }
};
