// The built simulator on a real pseudo-terminal, reached through the program's own serial link.
#include "link/channel.h"
#include "link/qtseriallink.h"
#include "platform/clock.h"
#include "testsupport/fakelink.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using platform::Millis;

constexpr int kPort = 7;
constexpr int kProcessTimeoutMs = 30000;
// Steps of 10 ms that a test waits at most for an answer: long past any wait of the program's.
constexpr int kPatienceSteps = 3000;

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

// What the simulator answers, however busy the machine: each answer is awaited as long
// as it takes. How the channel fares with an answer later than its waits is the channel's own
// test, in virtual time; how fast the answers come is the benchmark's.
TEST_F(SimulatorOnPty, AnswersTheQueriesAndEndsCleanly)
{
    start();
    comm::QtSerialLink serial;
    const base::Status opened = serial.open(kPort);
    ASSERT_TRUE(opened) << opened.error();
    comm::CommandChannel channel(serial, m_clock, m_tone);
    // Sends `line` and gives all that comes back up to the end of an answer ("\r\n" after a
    // value, ":" after a command), or what came when the patience ran out.
    const auto answerTo = [&](std::string_view line, std::string_view end) {
        EXPECT_TRUE(channel.SendLine(line)) << line;
        std::string answer;
        for (int i = 0; i < kPatienceSteps && !answer.ends_with(end); ++i) {
            if (channel.PendingCount() == 0)
                m_clock.sleep(Millis(10));
            answer += channel.ReadAll();
        }
        return answer;
    };

    EXPECT_EQ(answerTo("init = @OUT[01];init=?", "\r\n"), ": 1.0000\r\n");
    EXPECT_EQ(answerTo("TPX", "\r\n"), "0\r\n");
    EXPECT_EQ(answerTo("PAX=500;BGX", "::"), "::");
    m_clock.sleep(Millis(300)); // the move's own time, in the simulator's real time
    EXPECT_EQ(answerTo("TPX", "\r\n"), "500\r\n");

    EXPECT_EQ(answerTo("erorre = _TEX", ":"), ":");
    const std::string error = answerTo("erorre = ?", "\r\n");
    ASSERT_TRUE(error.size() >= 4U && (error[0] == ' ' || error[0] == '-')) << error;
    serial.close();

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
