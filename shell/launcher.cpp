#include "launcher.h"

#include "frmmain.h"

#include "link/seriallink.h"
#include "shell/frmcomport.h"

namespace shell {

Launcher::Launcher(platform::Clock &clock, platform::Tone &tone, ui::Dialogs &dialogs,
                   LinkFactory linkFactory, update::UpdateServices updateServices)
    : m_clock(clock), m_tone(tone), m_linkFactory(std::move(linkFactory)), m_dialogs(dialogs),
      m_updateServices(std::move(updateServices))
{}

Launcher::~Launcher()
{
    delete m_main;
    delete m_portSelection;
    delete m_splash;
}

int Launcher::portNumber() const
{
    const frmMain *main = m_main.data();
    return main != nullptr ? main->portNumber() : 0;
}

void Launcher::start()
{
    auto *splash = new update::frmSplash(m_updateServices, m_clock, m_dialogs,
                                         [this] { return showPortSelection(); });
    m_splash = splash;
    connect(splash, &update::frmSplash::unloaded, this, [this, splash](bool wentOn) {
        splash->deleteLater();
        m_splash = nullptr;
        if (!wentOn)
            emit finished();
    });
    splash->show();
}

bool Launcher::showPortSelection()
{
    auto *window = new frmComPort(m_linkFactory, [this] { return loadMainWindow(); });
    m_portSelection = window;
    connect(window, &frmComPort::closedByOperator, this, [this, window] {
        window->deleteLater();
        emit finished();
    });
    window->show();
    return window->isVisible();
}

QWidget *Launcher::loadMainWindow()
{
    auto *window = new frmMain(
        Platform{m_linkFactory(), m_clock, m_tone, m_dialogs, m_recorder, m_camRecorder});
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
