// The built simulator on a real pseudo-terminal, reached through the program's own serial link.
#include "link/channel.h"
#include "link/qtseriallink.h"
#include "platform/clock.h"
#include "testsupport/fakelink.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using platform::Millis;

constexpr int kPort = 7;
constexpr int kProcessTimeoutMs = 10000;

class SimulatorOnPty : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("VELMARO_PORT_DIR", m_dir.path().toLocal8Bit());
    }

    void TearDown() override
    {
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.kill();
            m_sim.waitForFinished(kProcessTimeoutMs);
        }
    }

    // Starts the simulator and waits for its announcement, by which time the link exists.
    void start(const QStringList &extra = {})
    {
        QStringList args{"--port-dir",           m_dir.path(), "--port",
                         QString::number(kPort), "--log",      logPath()};
        m_sim.start(QStringLiteral(VELMARO_SIM_PATH), args + extra);
        ASSERT_TRUE(m_sim.waitForStarted(kProcessTimeoutMs));
        while (!m_sim.canReadLine())
            ASSERT_TRUE(m_sim.waitForReadyRead(kProcessTimeoutMs))
                << m_sim.readAllStandardError().toStdString();
        const QString announcement = QString::fromLocal8Bit(m_sim.readLine()).trimmed();
        EXPECT_TRUE(announcement.startsWith("velmaro-sim: COM7 -> /dev/pts/"))
            << announcement.toStdString();
        EXPECT_TRUE(announcement.endsWith("(link " + linkPath() + ")"))
            << announcement.toStdString();
        ASSERT_TRUE(QFileInfo(linkPath()).isSymLink());
    }

    QString linkPath() const { return m_dir.filePath("COM7"); }
    QString logPath() const { return m_dir.filePath("wire.log"); }

    QTemporaryDir m_dir;
    QProcess m_sim;
    platform::RealClock m_clock;
    testsupport::RecordingTone m_tone;
};

TEST_F(SimulatorOnPty, AnswersWithinTheWaitsLogsTheLinesAndEndsCleanly)
{
    start();
    comm::QtSerialLink serial;
    const base::Status opened = serial.open(kPort);
    ASSERT_TRUE(opened) << opened.error();
    comm::CommandChannel channel(serial, m_clock, m_tone);

    ASSERT_TRUE(channel.SendLine("init = @OUT[01];init=?"));
    m_clock.sleep(Millis(50));
    EXPECT_EQ(channel.ReadAll(), ": 1.0000\r\n");

    EXPECT_EQ(channel.QueryPosition("X"), "0");
    ASSERT_TRUE(channel.SendLine("PAX=500;BGX"));
    m_clock.sleep(Millis(300));
    EXPECT_EQ(channel.ReadAll(), "::");
    EXPECT_EQ(channel.QueryPosition("X"), "500");

    const std::string error = channel.QueryPositionError("X");
    ASSERT_TRUE(error.size() >= 2U && (error[0] == ' ' || error[0] == '-')) << error;
    serial.close();

    QFile log(logPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList received;
    const QRegularExpression entry(QStringLiteral("^\\d+\\.\\d{3}\t(.*)$"));
    for (const QString &line : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const auto match = entry.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        received << match.captured(1);
    }
    EXPECT_EQ(received, (QStringList{"init = @OUT[01];init=?", "TPX", "PAX=500;BGX", "TPX",
                                     "erorre = _TEX", "erorre = ?"}));

    // SIGTERM removes the link and exits cleanly.
    m_sim.terminate();
    ASSERT_TRUE(m_sim.waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ(m_sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(linkPath()).isSymLink());
}

TEST_F(SimulatorOnPty, DropAfterKillsTheLineAndRemovesTheLink)
{
    start({"--drop-after", "50"});
    comm::QtSerialLink serial;
    const base::Status opened = serial.open(kPort);
    ASSERT_TRUE(opened) << opened.error();
    int events = 0;
    serial.setEventHandler([&events] { ++events; });
    ASSERT_TRUE(serial.write("TPX\r"));
    for (int i = 0; i < 500 && QFileInfo(linkPath()).isSymLink(); ++i)
        m_clock.sleep(Millis(10));
    EXPECT_FALSE(QFileInfo(linkPath()).isSymLink());
    // The port notices at its next use and stays dead.
    serial.bytesWaiting();
    (void)serial.write("TPX\r");
    EXPECT_FALSE(serial.isOpen());
    EXPECT_FALSE(serial.write("TPX\r"));
    EXPECT_GE(events, 1);
    // The simulator stays up until it is told to stop.
    EXPECT_EQ(m_sim.state(), QProcess::Running);
}

} // namespace
