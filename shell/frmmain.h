#pragma once

#include "linewatch.h"
#include "servicecode.h"

#include "link/channel.h"
#include "ui/dialogs.h"
#include "ui/windowstate.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;

namespace platform {
class Clock;
class Tone;
} // namespace platform

namespace comm {
class SerialLink;
} // namespace comm

namespace ui {
class Dialogs;
class Shape;
} // namespace ui

namespace lens {
class LensPart;
}
namespace axes {
class AxesPart;
}
namespace camtable {
class CamTablePart;
class CamRecorder;
} // namespace camtable
namespace runin {
class RunInPart;
class RunRecorder;
} // namespace runin

namespace shell {

// What the main window works through: its own serial link, time, sound and the modal boxes.
struct Platform
{
    std::unique_ptr<comm::SerialLink> link;
    platform::Clock &clock;
    platform::Tone &tone;
    ui::Dialogs &dialogs;
    // Keeps every running-in run; none when null.
    runin::RunRecorder *recorder = nullptr;
    // Keeps every saved cam table; none when null.
    camtable::CamRecorder *camRecorder = nullptr;
};

// The program's working window. It owns the serial line and the window-wide state, and composes
// one part per subsystem: lens operation, manual axes, cam table and running-in test.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(Platform platform, QWidget *parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain &) = delete;
    frmMain &operator=(const frmMain &) = delete;

    // The port the window works on, chosen by the operator; 0 until the start-up has read it.
    [[nodiscard]] int portNumber() const { return m_portNumber; }

    // The window-wide state: the service code's running sum and the last zoom positions read.
    [[nodiscard]] std::int16_t KeySum() const { return m_serviceCode.keySum(); }
    [[nodiscard]] const ui::WindowState &state() const { return m_state; }

    // The window's one line to the controller.
    comm::CommandChannel &channel() { return m_channel; }

signals:
    // The start-up sequence no longer needs the port selection window.
    void portSelectionDone();
    // The chosen port could not be opened; the operator should choose again.
    void portOpenFailed();
    // The window has closed for good.
    void unloaded();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    // The start-up sequence, run on the first activation.
    void Form_Activate();
    // Every key press of the window, before the control with the focus sees it.
    void Form_KeyDown(int keyCode, int shift);
    // The mouse moved over the window's bare surface, outside every control.
    void Form_MouseMove();
    void LockControls();
    void UnlockControls();

private:
    void buildOwnControls();
    void setControlsLocked(bool locked);
    void unload();
    void reportWriteFailure(const std::string &reason);
    void lineLost(const QString &reason);
    void lineBack();
    void lensNotReadyAfterReturn(const QString &message);

    ui::Shape *Shape1;
    QLabel *Image1;
    QLabel *Label2;
    QLabel *LabelVersion;
    QLineEdit *Text0;

    std::unique_ptr<comm::SerialLink> m_link;
    platform::Clock &m_clock;
    ui::WindowDialogs m_dialogs;
    comm::CommandChannel m_channel;
    LineWatch m_lineWatch;
    ServiceCode m_serviceCode;
    ui::WindowState m_state;
    // The parts borrow the channel, the state and the focus sink: declared after them, they are
    // destroyed before them, and before ~QWidget deletes the controls, so that nothing a control
    // does on its way out reaches a part or a line that is gone.
    std::unique_ptr<lens::LensPart> m_lens;
    std::unique_ptr<axes::AxesPart> m_axes;
    std::unique_ptr<camtable::CamTablePart> m_camTable;
    std::unique_ptr<runin::RunInPart> m_runIn;
    // The port the window opened at start-up, and opens again after a loss.
    int m_portNumber = 0;
    bool m_activated = false;
    bool m_unloaded = false;
    // The controls are locked until the lens is ready after the line came back.
    bool m_lockedForLens = false;
};

} // namespace shell
