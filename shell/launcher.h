#pragma once

#include "frmmain.h"

#include "link/frmcomport.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace comm {
class Clock;
class SerialLink;
class Tone;
} // namespace comm

namespace ui {
class Dialogs;
}

namespace shell {

// Leads the operator through the program's windows: port selection, then the main window. Ends
// the program when the last of them closes.
class Launcher : public QObject
{
    Q_OBJECT
public:
    using LinkFactory = std::function<std::unique_ptr<comm::SerialLink>()>;

    Launcher(comm::Clock &clock, comm::Tone &tone, ui::Dialogs &dialogs, LinkFactory linkFactory);
    ~Launcher() override;
    Launcher(const Launcher &) = delete;
    Launcher &operator=(const Launcher &) = delete;

    // Opens the first window.
    void start();

    [[nodiscard]] comm::frmComPort *portSelection() const { return m_portSelection; }
    [[nodiscard]] frmMain *mainWindow() const { return m_main; }

signals:
    // The program is over: the main window closed, or the operator left the port selection.
    void finished();

private:
    void showPortSelection();
    QWidget *loadMainWindow();

    comm::Clock &m_clock;
    comm::Tone &m_tone;
    LinkFactory m_linkFactory;
    ui::Dialogs &m_dialogs;
    QPointer<comm::frmComPort> m_portSelection;
    QPointer<frmMain> m_main;
};

} // namespace shell
