// The port selection window against real pseudo-terminals linked as COM ports. (Choosing one
// with the keyboard opens the main window on it in every end-to-end test.)
#include "link/qtseriallink.h"
#include "shell/frmcomport.h"
#include "testsupport/findchild.h"

#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <vector>

namespace {

// A pseudo-terminal whose slave is linked as COMn in a port directory, as a USB adapter would be.
class LinkedPty
{
public:
    LinkedPty(const QString &dir, int port)
    {
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        m_link = QStringLiteral("%1/COM%2").arg(dir).arg(port);
        QFile::link(QString::fromLocal8Bit(::ttyname(m_slave)), m_link);
    }
    ~LinkedPty()
    {
        ::close(m_slave);
        ::close(m_master);
    }
    [[nodiscard]] const QString &path() const { return m_link; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_link;
};

class PortSelection : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VELMARO_PORT_DIR", dir.path().toLocal8Bit());
        for (const int port : {1, 3, 12, 21})
            ptys.push_back(std::make_unique<LinkedPty>(dir.path(), port));
    }
    void TearDown() override { qunsetenv("VELMARO_PORT_DIR"); }

    std::unique_ptr<shell::frmComPort> makeWindow()
    {
        return std::make_unique<shell::frmComPort>(
            [] { return std::make_unique<comm::QtSerialLink>(); },
            [this]() -> QWidget * {
                mainWindow = std::make_unique<QWidget>();
                return mainWindow.get();
            });
    }

    static QComboBox *list(const shell::frmComPort &window)
    {
        return testsupport::child<QComboBox>(&window, "ComboSerialPort");
    }

    static QStringList entries(const shell::frmComPort &window)
    {
        QStringList texts;
        for (int i = 0; i < list(window)->count(); ++i)
            texts << list(window)->itemText(i);
        return texts;
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<LinkedPty>> ptys;
    std::unique_ptr<QWidget> mainWindow;
};

TEST_F(PortSelection, ListsTheUsablePortsUpToTwentyLeavingOutAHeldOneAndChoosesNothing)
{
    EXPECT_EQ(entries(*makeWindow()), QStringList({"COM1", "COM3", "COM12"}));

    // Another program takes COM3 and keeps it.
    QProcess holder;
    holder.start("flock", {"--nonblock", ptys[1]->path(), "-c", "echo held; exec sleep 60"});
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    ASSERT_EQ(holder.readAll().trimmed(), "held");
    const auto window = makeWindow();
    EXPECT_EQ(entries(*window), QStringList({"COM1", "COM12"}));
    EXPECT_EQ(list(*window)->currentIndex(), -1);
    EXPECT_EQ(mainWindow, nullptr);
    comm::QtSerialLink link;
    const base::Status opened = link.open(3);
    ASSERT_FALSE(opened);
    EXPECT_THAT(opened.error(), testing::HasSubstr("in use by another program"));
    holder.kill();
    holder.waitForFinished();
}

} // namespace
