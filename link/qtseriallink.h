#pragma once

#include "seriallink.h"

#include <QSerialPort>

namespace comm {

// The serial line through QSerialPort, used without an event loop: every call polls.
class QtSerialLink final : public SerialLink
{
public:
    QtSerialLink();
    ~QtSerialLink() override;
    QtSerialLink(const QtSerialLink &) = delete;
    QtSerialLink &operator=(const QtSerialLink &) = delete;

    base::Status open(int portNumber) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override;
    base::Status write(std::string_view data) override;
    int bytesWaiting() override;
    std::string takeAll() override;

    // What refused the last open(), for telling the causes apart: the port's own error and its
    // words, or none when another program's lock on the device refused it.
    [[nodiscard]] QSerialPort::SerialPortError openError() const { return m_openError; }
    [[nodiscard]] bool refusedByLock() const { return m_refusedByLock; }
    [[nodiscard]] QString openErrorText() const { return m_openErrorText; }

private:
    void onError(QSerialPort::SerialPortError error);
    void dropIfLost();

    QSerialPort m_port;
    QString m_device;
    std::string m_error; // the last thing that went wrong, told again by writes while closed
    QSerialPort::SerialPortError m_openError = QSerialPort::NoError;
    QString m_openErrorText;
    bool m_refusedByLock = false;
    bool m_lost = false;
    bool m_opening = false;
};

} // namespace comm
