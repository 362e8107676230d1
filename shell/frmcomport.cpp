#include "frmcomport.h"

#include "link/modvariabili.h"
#include "link/portmap.h"
#include "link/seriallink.h"

#include "ui/controls.h"
#include "ui/form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>

namespace shell {

namespace {
using ui::Twips;

constexpr int kClientWidth = 3045;
constexpr int kClientHeight = 795;
// The main window's compact operator size.
constexpr int kCompactWidth = 1980;
constexpr int kCompactHeight = 4800;
} // namespace

frmComPort::frmComPort(LinkFactory probeLink, MainWindowLoader loadMainWindow, QWidget *parent)
    : QWidget(parent, ui::kFixedWindow), m_probeLink(std::move(probeLink)),
      m_loadMainWindow(std::move(loadMainWindow))
{
    setObjectName("frmComPort");
    setWindowTitle("T7342 Galil V1.0");
    setFont(ui::windowFont());
    const int dpi = logicalDpiX();
    setFixedSize(ui::toPixels(kClientWidth, dpi), ui::toPixels(kClientHeight, dpi));

    LabelSerialPort =
        ui::addLabel(this, "LabelSerialPort", "Select serial port", Twips{120, 270, 1500, 255},
                     palette().color(QPalette::Window), palette().color(QPalette::WindowText));
    LabelSerialPort->setAutoFillBackground(false);
    ComboSerialPort = ui::addComboBox(this, "ComboSerialPort", Twips{1680, 225, 1215, 345});

    Form_Load();
    // Only the operator's choice counts; building the list chooses nothing.
    connect(ComboSerialPort, &QComboBox::activated, this, &frmComPort::ComboSerialPort_Click);
}

void frmComPort::Form_Load()
{
    ComboSerialPort->clear();
    for (int port = comm::kFirstPort; port <= comm::kLastPort; ++port) {
        // A port that opens is closed again at once; one that does not is left out silently.
        auto probe = m_probeLink();
        if (probe->open(port)) {
            probe->close();
            ComboSerialPort->addItem(comm::portName(port));
        }
    }
    ComboSerialPort->setCurrentIndex(-1);
}

void frmComPort::ComboSerialPort_Click()
{
    const QString entry = ComboSerialPort->currentText();
    if (entry.isEmpty())
        return;
    modVariabili::PortNumber = static_cast<std::int16_t>(entry.mid(3).toInt());
    QWidget *mainWindow = m_loadMainWindow();
    hide();
    ui::setOuterSize(mainWindow, kCompactWidth, kCompactHeight);
    mainWindow->show();
}

void frmComPort::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closedByOperator();
}

} // namespace shell
