#include "frmsplash.h"

#include "ui/logo.h"

#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

namespace update {

namespace {
using ui::Twips;

constexpr int kClientWidth = 3195;
constexpr int kClientHeight = 2070;
constexpr std::chrono::milliseconds kCheckDelay{300};
constexpr qreal kTitlePointSize = 21.75;
constexpr int kIconSize = 32; // the program's icon, shown at its own size
const QColor kBackground{0, 192, 192};
const QColor kTitleText{0, 0, 192};
const QColor kTitleBackground{255, 255, 192};
} // namespace

frmSplash::frmSplash(UpdateServices &services, platform::Clock &clock, ui::Dialogs &dialogs,
                     PortSelection showPortSelection, QWidget *parent)
    : QWidget(parent, ui::kFixedWindow), m_services(services), m_dialogs(dialogs, this),
      m_showPortSelection(std::move(showPortSelection)),
      m_check(
          *services.ftp, *services.starter, clock, services.directory,
          [] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); },
          services.publicKey)
{
    setObjectName("frmSplash");
    setWindowTitle("RIZA Vevezov");
    const QPixmap icon = QPixmap::fromImage(ui::drawIcon(kIconSize));
    setWindowIcon(icon);
    setFont(ui::windowFont());
    ui::setColours(this, kBackground, Qt::black);
    const int dpi = logicalDpiX();
    setFixedSize(ui::toPixels(kClientWidth, dpi), ui::toPixels(kClientHeight, dpi));

    // The icon at its own size inside a one-pixel border.
    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Picture1->setLineWidth(1);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(icon);
    ui::place(Picture1, 120, 120, 510, 510);

    Label1 = ui::addLabel(this, "Label1", "Velmaro", Twips{0, 1080, 3255, 615}, kTitleBackground,
                          kTitleText);
    QFont titleFont = ui::windowFont();
    titleFont.setPointSizeF(kTitlePointSize);
    Label1->setFont(titleFont);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Timer1.setObjectName("Timer1");
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(kCheckDelay);
    connect(&Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Centred on the screen it opens on, frame and all.
        QRect frame = frameGeometry();
        frame.moveCenter(screen()->geometry().center());
        move(frame.topLeft());
        Timer1.start();
    }
}

void frmSplash::Timer1_Timer()
{
    using Kind = UpdateOutcome::Kind;
    Timer1.stop();
    m_checking = true;
    UpdateOutcome outcome = m_check.run(updateAddress(m_services.server), ownVersion());
    if (outcome.kind == Kind::NoUpdate && !m_showPortSelection())
        outcome = m_check.recover("the port selection window did not open");
    m_checking = false;
    if (!outcome.detail.empty())
        qInfo("Update check: %s", outcome.detail.c_str());

    switch (outcome.kind) {
    case Kind::NoUpdate:
        unload(true);
        break;
    case Kind::UpdaterNotStarted:
        m_dialogs.message(QString::fromStdString(outcome.detail) +
                              "\n\nVelmaro goes on without updating.",
                          "Errore", ui::Dialogs::Icon::Warning);
        goOn();
        break;
    case Kind::SignatureRefused:
        m_dialogs.message(QString::fromStdString(outcome.detail) +
                              "\n\nVelmaro goes on without updating.",
                          "Errore", ui::Dialogs::Icon::Critical);
        goOn();
        break;
    case Kind::ServerUnavailable:
        goOn();
        break;
    case Kind::UpdaterStarted:
    case Kind::Cancelled:
        unload(false);
        break;
    }
}

void frmSplash::goOn()
{
    unload(m_showPortSelection());
}

void frmSplash::unload(bool wentOn)
{
    m_unloaded = true;
    hide();
    emit unloaded(wentOn);
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (m_checking) {
        // The window goes when the request in progress has ended.
        m_check.cancel();
        event->ignore();
        return;
    }
    Timer1.stop();
    event->accept();
    unload(false);
}

} // namespace update
