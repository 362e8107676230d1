#pragma once

#include "frmmain.h"
#include "update/frmsplash.h"
#include "update/updatecheck.h"

#include "shell/frmcomport.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace platform {
class Clock;
class Tone;
} // namespace platform

namespace comm {
class SerialLink;
} // namespace comm

namespace ui {
class Dialogs;
}

namespace shell {

// Leads the operator through the program's windows: the splash with its update check, the port
// selection, then the main window. Ends the program when the last of them closes.
class Launcher : public QObject
{
    Q_OBJECT
public:
    using LinkFactory = std::function<std::unique_ptr<comm::SerialLink>()>;

    Launcher(platform::Clock &clock, platform::Tone &tone, ui::Dialogs &dialogs,
             LinkFactory linkFactory, update::UpdateServices updateServices);
    ~Launcher() override;
    Launcher(const Launcher &) = delete;
    Launcher &operator=(const Launcher &) = delete;

    // Opens the first window.
    void start();

    // The port the main window works on; 0 while there is none or it has not opened one.
    [[nodiscard]] int portNumber() const;

    // The main window hands every running-in run to `recorder`, which outlives it.
    void setRecorder(runin::RunRecorder *recorder) { m_recorder = recorder; }
    // ... and every saved cam table to `camRecorder`, which outlives it too.
    void setCamRecorder(camtable::CamRecorder *camRecorder) { m_camRecorder = camRecorder; }

    [[nodiscard]] update::frmSplash *splash() const { return m_splash; }
    [[nodiscard]] frmComPort *portSelection() const { return m_portSelection; }
    [[nodiscard]] frmMain *mainWindow() const { return m_main; }

signals:
    // The program is over: the main window closed, the operator left the splash or the port
    // selection, or the updater took over.
    void finished();

private:
    bool showPortSelection();
    QWidget *loadMainWindow();

    platform::Clock &m_clock;
    platform::Tone &m_tone;
    LinkFactory m_linkFactory;
    ui::Dialogs &m_dialogs;
    update::UpdateServices m_updateServices;
    QPointer<update::frmSplash> m_splash;
    QPointer<frmComPort> m_portSelection;
    QPointer<frmMain> m_main;
    runin::RunRecorder *m_recorder = nullptr;
    camtable::CamRecorder *m_camRecorder = nullptr;
};

} // namespace shell
