#include "frmmain.h"

#include "lenscheck.h"
#include "ui/logo.h"
#include "virtualkey.h"

#include "axes/axespart.h"
#include "camtable/camtablepart.h"
#include "lens/lenspart.h"
#include "link/modvariabili.h"
#include "link/portmap.h"
#include "link/seriallink.h"
#include "runin/runinpart.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/shape.h"
#include "version.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QTime>

namespace shell {

namespace {
using ui::Twips;

constexpr int kFullWidth = 14800;
constexpr int kFullHeight = 11505;
constexpr int kFullLeft = 10;
constexpr int kFullTop = 10;
constexpr int kFocusSinkLeft = -1000;
const QString kTitle = QStringLiteral("T7342 Galil");
} // namespace

frmMain::frmMain(Platform platform, QWidget *parent)
    : QWidget(parent, ui::kFixedWindow), m_link(std::move(platform.link)), m_clock(platform.clock),
      m_dialogs(platform.dialogs, this), m_channel(*m_link, m_clock, platform.tone),
      m_lineWatch(*m_link, m_channel, m_clock, this)
{
    setObjectName("frmMain");
    setWindowTitle(kTitle);
    setFont(ui::windowFont());
    ui::setColours(this, ui::colour::kBlue, ui::colour::kWhite);

    // The focus sink comes first in the tab order, so it holds the focus when the window opens.
    Text0 = ui::addTextBox(this, "Text0", "Text1", Twips{360, 4320, 615, 285});
    buildOwnControls();

    ui::PartContext context{m_channel, m_clock, m_dialogs, m_state, [this] { Text0->setFocus(); }};
    m_lens = std::make_unique<lens::LensPart>(this, context);
    m_axes = std::make_unique<axes::AxesPart>(this, context);
    // A replay moves the zoom axes at the speeds typed in their jog panels.
    m_camTable = std::make_unique<camtable::CamTablePart>(
        this, context, [this] { return m_axes->zoomJogSpeeds(); });
    m_camTable->setRecorder(platform.camRecorder);
    m_runIn = std::make_unique<runin::RunInPart>(this, context, platform.tone);
    m_runIn->setRecorder(platform.recorder);
    connect(m_runIn.get(), &runin::RunInPart::lockRequested, this, &frmMain::LockControls);
    connect(m_runIn.get(), &runin::RunInPart::unlockRequested, this, &frmMain::UnlockControls);

    m_channel.setWriteFailureHandler(
        [this](const std::string &reason) { reportWriteFailure(reason); });
    connect(&m_lineWatch, &LineWatch::lost, this, &frmMain::lineLost);
    connect(&m_lineWatch, &LineWatch::back, this, &frmMain::lineBack);
    connect(&m_lineWatch, &LineWatch::lensNotReady, this, &frmMain::lensNotReadyAfterReturn);
    qApp->installEventFilter(this);
    // Moves over the bare surface are reported without a mouse button held.
    setMouseTracking(true);
    Text0->setFocus();
    ui::setOuterSize(this, kFullWidth, kFullHeight);
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    // A button held now lets go while the parts and the line are all there, so a jog under way
    // is stopped rather than left running.
    hide();
}

void frmMain::buildOwnControls()
{
    Shape1 = new ui::Shape(ui::Shape::Kind::Rectangle, ui::colour::kWhite, this);
    Shape1->setObjectName("Shape1");
    // Narrower than the compact window, whose frame takes some of its width on most desktops.
    ui::place(Shape1, 0, 0, 1740, 630);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(QPixmap::fromImage(ui::drawLogo()));
    Image1->setScaledContents(true); // the picture is shown shrunk to its frame
    ui::place(Image1, 45, 90, 615, 435);

    Label2 = ui::addLabel(this, "Label2", "Korvane S.p.A.", Twips{705, 90, 990, 450},
                          ui::colour::kWhite, ui::colour::kBlue);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignCenter);
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);

    LabelVersion = ui::addLabel(this, "LabelVersion", "Version 1.0 ", Twips{360, 3900, 1095, 255});
    LabelVersion->setAlignment(Qt::AlignCenter);
}

bool frmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        const bool handled = QWidget::event(event);
        Form_Activate();
        return handled;
    }
    return QWidget::event(event);
}

void frmMain::Form_Activate()
{
    m_runIn->clearRunFlags();
    Text0->move(ui::toPixels(kFocusSinkLeft, Text0->logicalDpiX()), Text0->y());
    LabelVersion->setText(
        QStringLiteral("Version %1.%2").arg(velmaro::kVersionMajor).arg(velmaro::kVersionMinor));
    emit portSelectionDone();

    // The one reading of the operator's choice: from here on the port is the window's.
    m_portNumber = modVariabili::PortNumber;
    if (const base::Status opened = m_link->open(m_portNumber); !opened) {
        m_dialogs.message(QString::fromStdString(opened.error()) +
                              "\n\nChoose the serial port again.",
                          "Errore", ui::Dialogs::Icon::Critical);
        emit portOpenFailed();
        unload();
        return;
    }
    if (const base::Status ready = checkLensInitialised(m_channel, m_clock); !ready) {
        m_dialogs.message(QString::fromStdString(ready.error()), "Errore",
                          ui::Dialogs::Icon::Critical);
        unload();
        return;
    }

    m_lineWatch.watch(m_portNumber);
    m_lens->resetFocus();
    for (int axis = 0; axis < axes::kAxisCount; ++axis)
        m_channel.SendLine("SH" + comm::AxisLetter(axis));
    m_axes->startReadout();
    m_lens->fillPresets();
    m_camTable->fillRows();
    m_channel.SendLine("PAW=focusmin;BGW");
}

void frmMain::unload()
{
    m_runIn->stopRun(QStringLiteral("Velmaro was closed during the running-in test; the test was "
                                    "stopped."),
                     runin::RunEnding::Closed);
    m_unloaded = true;
    m_lineWatch.stop();
    m_link->close();
    hide();
    emit unloaded();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_unloaded)
        unload();
}

void frmMain::reportWriteFailure(const std::string &reason)
{
    // The handler that met the failure tells it itself.
    if (m_state.lineFailureToldByHandler)
        return;
    // Shown once the current handler has finished, so that no timer runs inside its exchange.
    QMetaObject::invokeMethod(
        this,
        [this, text = QString::fromStdString(reason)] {
            // A lost line has had its own message; the writes that fail meanwhile add nothing.
            if (!m_unloaded && !m_lineWatch.isLost())
                m_dialogs.message("The controller cannot be reached: " + text +
                                      "\n\nCommands are not arriving until the line works again.",
                                  "Errore", ui::Dialogs::Icon::Warning);
        },
        Qt::QueuedConnection);
}

void frmMain::lineLost(const QString &reason)
{
    const QString port = comm::portName(m_portNumber);
    // At once, so that no further step of a run goes out on a line that is not there.
    m_runIn->stopRun(QStringLiteral("The line to the controller on %1 was lost; the test was "
                                    "stopped.")
                         .arg(port),
                     runin::RunEnding::LineLost);
    // Nothing goes out again until the lens has said it is ready, and nothing under way now is
    // taken up again then.
    m_axes->stopReadout();
    m_lens->stopFocusRepeat();
    setWindowTitle(
        QStringLiteral("%1 - %2: line lost, waiting for it to come back").arg(kTitle, port));
    // Lost under a handler that tells of its failure itself: the title says the rest.
    if (m_state.lineFailureToldByHandler)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, port, reason] {
            if (m_unloaded)
                return;
            m_dialogs.message(
                QStringLiteral("The line to the controller on %1 is lost (%2).\n\nVelmaro opens "
                               "%1 again by itself as soon as the device is back. A running-in "
                               "test has been stopped; the cam table in the window is kept and "
                               "can still be saved.")
                    .arg(port, reason),
                "Errore", ui::Dialogs::Icon::Warning);
        },
        Qt::QueuedConnection);
}

void frmMain::lineBack()
{
    m_axes->enableTickedAxes();
    m_axes->startReadout();
    if (m_lockedForLens) {
        m_lockedForLens = false;
        UnlockControls();
    }
    setWindowTitle(QStringLiteral("%1 - %2: line back since %3")
                       .arg(kTitle, comm::portName(m_portNumber),
                            QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
}

void frmMain::lensNotReadyAfterReturn(const QString &message)
{
    // Whatever moves the lens waits for it; the cam table can still be kept on the disk.
    m_lockedForLens = true;
    LockControls();
    m_runIn->setAbortEnabled(false);
    m_camTable->lockFiles(false);
    setWindowTitle(QStringLiteral("%1 - %2: line back, lens not ready")
                       .arg(kTitle, comm::portName(m_portNumber)));
    // The lens is asked again while the box is up; its readiness may come before the box goes.
    m_dialogs.message(message, "Errore", ui::Dialogs::Icon::Critical);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    // Key preview: a key press is delivered first to the control with the focus and then, if that
    // control ignores it, to its parents; count it only at its first stop within this window.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        QWidget *first = focusWidget() ? focusWidget() : this;
        if (widget == first && widget->window() == this) {
            const auto *key = static_cast<QKeyEvent *>(event);
            Form_KeyDown(virtualKeyCode(key->key(), key->modifiers()),
                         modifierMask(key->key(), key->modifiers()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::Form_KeyDown(int keyCode, int shift)
{
    if (m_serviceCode.keyDown(keyCode, shift)) {
        ui::setOuterSize(this, kFullWidth, kFullHeight);
        ui::moveTo(this, kFullLeft, kFullTop);
    }
}

void frmMain::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over a control that does not take them are passed on to the window as well.
    if (childAt(event->position().toPoint()) == nullptr)
        Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void frmMain::Form_MouseMove()
{
    m_lens->stopFocusRepeat();
}

void frmMain::LockControls()
{
    setControlsLocked(true);
}

void frmMain::UnlockControls()
{
    setControlsLocked(false);
}

void frmMain::setControlsLocked(bool locked)
{
    // Each part takes its own controls away or gives them back, in this order: the slider, the
    // cam table buttons, the left column, Set IP and each axis panel in turn, the test's own
    // controls, the cam table rows. ABORT, which goes the other way, comes last. No other control
    // is touched.
    m_lens->lockSlider(locked);
    m_camTable->lockFiles(locked);
    m_lens->lockColumn(locked);
    m_axes->lockControls(locked);
    m_runIn->lockTestControls(locked);
    m_camTable->lockRows(locked);
    m_runIn->setAbortEnabled(locked);
}

} // namespace shell
