#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;

namespace comm {
class SerialLink;
} // namespace comm

namespace shell {

// Where the operator picks the serial port that leads to the controller. Lists the ports among 1
// to 20 that can be opened; a choice records the port and brings up the main window.
class frmComPort : public QWidget
{
    Q_OBJECT
public:
    using LinkFactory = std::function<std::unique_ptr<comm::SerialLink>()>;
    // Loads the main window and gives it back, not yet shown.
    using MainWindowLoader = std::function<QWidget *()>;

    frmComPort(LinkFactory probeLink, MainWindowLoader loadMainWindow, QWidget *parent = nullptr);

signals:
    // The operator closed the window without choosing.
    void closedByOperator();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Builds the port list.
    void Form_Load();
    void ComboSerialPort_Click();

private:
    QLabel *LabelSerialPort;
    QComboBox *ComboSerialPort;

    LinkFactory m_probeLink;
    MainWindowLoader m_loadMainWindow;
};

} // namespace shell
