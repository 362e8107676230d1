#include "qtseriallink.h"

#include "portmap.h"

#ifndef Q_OS_WIN
#include <sys/file.h>
#endif

#include <chrono>

namespace comm {

namespace {
constexpr int kWriteTimeoutMs = 1000;
constexpr qint32 kBaudRate = 115200;
} // namespace

QtSerialLink::QtSerialLink()
{
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialLink::~QtSerialLink()
{
    close();
}

base::Status QtSerialLink::open(int portNumber)
{
    close();
    m_error.clear();
    m_openError = QSerialPort::NoError;
    m_openErrorText.clear();
    m_refusedByLock = false;
    m_device = portDevice(portNumber);
    const QString name = portName(portNumber);
    m_port.setPortName(m_device);
    m_port.setBaudRate(kBaudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);

    m_opening = true;
    const bool opened = m_port.open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened) {
        m_openError = m_port.error();
        m_openErrorText = m_port.errorString();
        m_error = QStringLiteral("%1 (%2) cannot be opened: %3")
                      .arg(name, m_device, m_openErrorText)
                      .toStdString();
        m_port.clearError();
        return base::fail(base::FailureKind::Unavailable, m_error);
    }
#ifndef Q_OS_WIN
    // The exclusive-use flag of the terminal does not bind root and not a second path to the same
    // device; an advisory lock on the device itself does.
    if (::flock(static_cast<int>(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        m_refusedByLock = true;
        m_error = QStringLiteral("%1 (%2) is in use by another program")
                      .arg(name, m_device)
                      .toStdString();
        m_port.close();
        return base::fail(base::FailureKind::Unavailable, m_error);
    }
#endif
    m_lost = false;
    return {};
}

void QtSerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_lost = false;
}

bool QtSerialLink::isOpen() const
{
    return m_port.isOpen() && !m_lost;
}

void QtSerialLink::dropIfLost()
{
    // A device that vanished leaves QSerialPort open and failing; let it go for good.
    if (m_lost && m_port.isOpen())
        m_port.close();
}

base::Status QtSerialLink::write(std::string_view data)
{
    dropIfLost();
    if (!m_port.isOpen()) {
        if (m_error.empty())
            m_error = "the serial port is not open";
        return base::fail(base::FailureKind::Unavailable, m_error);
    }
    const auto size = static_cast<qint64>(data.size());
    if (m_port.write(data.data(), size) != size) {
        m_error = m_port.errorString().toStdString();
        return base::fail(base::FailureKind::Unavailable, m_error);
    }
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(kWriteTimeoutMs)) {
            m_error =
                "the serial port did not take the line: " + m_port.errorString().toStdString();
            return base::fail(base::FailureKind::TimedOut, m_error);
        }
    }
    return {};
}

int QtSerialLink::bytesWaiting()
{
    dropIfLost();
    if (!m_port.isOpen())
        return 0;
    // Without an event loop nothing is read in until asked.
    m_port.waitForReadyRead(0);
    return static_cast<int>(m_port.bytesAvailable());
}

std::string QtSerialLink::takeAll()
{
    dropIfLost();
    if (!m_port.isOpen())
        return {};
    m_port.waitForReadyRead(0);
    return m_port.readAll().toStdString();
}

void QtSerialLink::onError(QSerialPort::SerialPortError error)
{
    bool lostNow = false;
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::TimeoutError:
        // An empty poll, not a fault.
        m_port.clearError();
        return;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError:
        if (m_port.isOpen() && !m_lost) {
            m_lost = true;
            m_error = QStringLiteral("the connection on %1 was lost: %2")
                          .arg(m_device, m_port.errorString())
                          .toStdString();
            lostNow = true;
        }
        break;
    default:
        break;
    }
    if (!m_opening)
        notifyEvent();
    if (lostNow)
        notifyLost(m_error);
}

} // namespace comm
