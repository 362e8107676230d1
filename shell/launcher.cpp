#include "launcher.h"

#include "frmmain.h"

#include "link/frmcomport.h"
#include "link/seriallink.h"

namespace shell {

Launcher::Launcher(comm::Clock &clock, comm::Tone &tone, ui::Dialogs &dialogs,
                   LinkFactory linkFactory)
    : m_clock(clock), m_tone(tone), m_linkFactory(std::move(linkFactory)), m_dialogs(dialogs)
{}

Launcher::~Launcher()
{
    delete m_main;
    delete m_portSelection;
}

void Launcher::start()
{
    showPortSelection();
}

void Launcher::showPortSelection()
{
    auto *window = new comm::frmComPort(m_linkFactory, [this] { return loadMainWindow(); });
    m_portSelection = window;
    connect(window, &comm::frmComPort::closedByOperator, this, [this, window] {
        window->deleteLater();
        emit finished();
    });
    window->show();
}

QWidget *Launcher::loadMainWindow()
{
    auto *window = new frmMain(Platform{m_linkFactory(), m_clock, m_tone, m_dialogs});
    m_main = window;
    connect(window, &frmMain::portSelectionDone, this, [this] {
        // Gone from now on, even though the deletion waits for the event loop.
        if (m_portSelection)
            m_portSelection->deleteLater();
        m_portSelection = nullptr;
    });
    // The port has gone or been taken since the list was built: offer a fresh list.
    connect(window, &frmMain::portOpenFailed, this, [this] { showPortSelection(); });
    connect(window, &frmMain::unloaded, this, [this, window] {
        window->deleteLater();
        if (!m_portSelection)
            emit finished();
    });
    return window;
}

} // namespace shell
