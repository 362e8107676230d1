#pragma once

#include "updatecheck.h"

#include "ui/dialogs.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

namespace platform {
class Clock;
} // namespace platform

namespace update {

// The first window: shows the program's name while it asks the update server for the newest
// version, starts the updater when one is due, and otherwise goes on to the port selection.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    // Shows the port selection window; false when it could not be shown.
    using PortSelection = std::function<bool()>;

    frmSplash(UpdateServices &services, platform::Clock &clock, ui::Dialogs &dialogs,
              PortSelection showPortSelection, QWidget *parent = nullptr);

signals:
    // The window has closed; `wentOn` when the port selection took over, otherwise the program
    // is over (the updater runs, or the operator closed the window).
    void unloaded(bool wentOn);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    // One tick, 300 ms after the window is shown: runs the update check.
    void Timer1_Timer();

private:
    void goOn();
    void unload(bool wentOn);

    QLabel *Picture1;
    QLabel *Label1;
    QTimer Timer1{this};

    UpdateServices &m_services;
    ui::WindowDialogs m_dialogs;
    PortSelection m_showPortSelection;
    UpdateCheck m_check;
    bool m_shown = false;
    bool m_checking = false;
    bool m_unloaded = false;
};

} // namespace update
