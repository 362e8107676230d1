// What the plant sees of a run under way, against a real PostgreSQL server: the keeper's snapshots
// arrive as the run goes and its end marks it ended; a plant that is down costs the window nothing
// and is left nothing to catch up on.
#include "runs/plantsender.h"
#include "runs/progress.h"
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"

#include "testsupport/pgserver.h"
#include "testsupport/waitfor.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace runs::test {
namespace {

using namespace std::chrono_literals;
using testsupport::PgServer;

constexpr int kPatienceMs = 30000;

class Live : public ::testing::Test
{
protected:
    [[nodiscard]] KeeperSetup setup(const QString &plant) const
    {
        return {m_dir.filePath("runs.sqlite"), plant, m_dir.path(), "station-a", "op", "1.2.0", {}};
    }
    // The plant's snapshots as the page would read them; none while it cannot be read.
    std::vector<RunProgress> shown()
    {
        if (!m_reader) {
            auto opened = RunDatabase::openPlant(m_server.connection());
            if (!opened)
                return {};
            m_reader = std::move(*opened);
        }
        auto latest = m_reader->latestProgress();
        return latest ? *latest : std::vector<RunProgress>{};
    }

    QTemporaryDir m_dir;
    PgServer m_server;
    std::unique_ptr<RunDatabase> m_reader;
};

TEST_F(Live, ARunsSnapshotsArriveAsItGoesAndItsEndMarksItEnded)
{
    m_server.start();
    RunKeeper keeper(setup(m_server.connection()));
    keeper.runStarted(false, true);
    keeper.runProgressed({0, {}, {}, 0ms});
    ASSERT_TRUE(testsupport::waitFor([this] { return shown().size() == 1; }, kPatienceMs));
    const RunProgress started = shown().at(0);
    EXPECT_EQ(started.station, "station-a");
    EXPECT_EQ(started.tests, "Full stroke");
    EXPECT_FALSE(started.ended || started.lastStep.isValid());
    EXPECT_TRUE(started.updated.isValid());

    const QDateTime step(QDate(2026, 12, 6), QTime(9, 30, 15, 500), Qt::UTC);
    keeper.runProgressed({3, {0, 1, 2, 0}, step, 61s});
    ASSERT_TRUE(testsupport::waitFor([this] { return shown().at(0).cycles == 3; }, kPatienceMs));
    EXPECT_EQ(shown().at(0).errors, (std::array<int, kAxisCount>{0, 1, 2, 0}));
    EXPECT_EQ(shown().at(0).lastStep, step);
    EXPECT_FALSE(shown().at(0).ended);

    keeper.runEnded(runin::RunEnding::Aborted, 4);
    ASSERT_TRUE(testsupport::waitFor(
        [this] { return shown().at(0).ended && shown().at(0).cycles == 4; }, kPatienceMs));
    EXPECT_EQ(shown().at(0).runId, started.runId);

    // Another station's runs stand beside it, each station's latest replacing its one before;
    // a run whose record arrived counts as ended though its end snapshot never came.
    RunProgress other;
    other.station = "station-b";
    other.runId = started.runId;
    ASSERT_TRUE(m_reader->putProgress(other));
    other.runId = "0bd1e5f0-0000-4000-8000-00000000000b";
    other.cycles = 9;
    ASSERT_TRUE(m_reader->putProgress(other));
    ASSERT_EQ(shown().size(), 2U);
    EXPECT_EQ(shown().at(1).cycles, 9);
    EXPECT_FALSE(shown().at(1).ended);
}

// A port that takes connections and never answers, as a plant server that hangs.
class SilentServer
{
public:
    explicit SilentServer(int port) : m_listener(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_listening =
            ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 8) == 0;
    }
    ~SilentServer() { close(); }
    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;

    [[nodiscard]] bool listening() const { return m_listening; }
    // Whether a client has come and is still waiting for an answer.
    bool clientWaiting()
    {
        if (m_client < 0) {
            pollfd incoming{m_listener, POLLIN, 0};
            if (::poll(&incoming, 1, 0) == 1)
                m_client = ::accept(m_listener, nullptr, nullptr);
            if (m_client < 0)
                return false;
        }
        pollfd client{m_client, POLLRDHUP, 0};
        return ::poll(&client, 1, 0) == 0;
    }
    void close()
    {
        for (int *socket : {&m_client, &m_listener})
            if (*socket >= 0)
                ::close(std::exchange(*socket, -1));
    }

private:
    int m_listener;
    int m_client = -1;
    bool m_listening = false;
};

TEST_F(Live, APlantThatIsDownCostsTheWindowNothingAndIsLeftNothingToCatchUp)
{
    const int port =
        QRegularExpression(R"(port=(\d+))").match(m_server.connection()).captured(1).toInt();
    QString hanging = m_server.connection();
    hanging.replace("connect_timeout=2", "connect_timeout=120");
    const QString stationPath = m_dir.filePath("runs.sqlite");
    {
        SilentServer silent(port);
        ASSERT_TRUE(silent.listening());
        RunKeeper keeper(setup(hanging));
        // The sender has gone to send what waited since the last time, and hangs there.
        ASSERT_TRUE(
            testsupport::waitFor([&silent] { return silent.clientWaiting(); }, kPatienceMs));

        // A whole run, each snapshot due, and the next START: the window's thread goes on.
        keeper.runStarted(true, true);
        for (int minute = 0; minute < 200; ++minute)
            keeper.runProgressed({minute / 6,
                                  {minute, 0, 0, 0},
                                  QDateTime::currentDateTimeUtc(),
                                  std::chrono::minutes(minute)});
        keeper.runEnded(runin::RunEnding::Aborted, 33);
        EXPECT_TRUE(keeper.keepPreviousRun());
        // The sender still hangs on its first try: none of that waited for it.
        EXPECT_TRUE(silent.clientWaiting());
        silent.close(); // its try fails now, and so does the snapshot's after it
    }

    // Up again: the run's record arrives through the outbox as ever, and none of its snapshots.
    m_server.start();
    PlantSender sender(stationPath, m_server.connection());
    sender.send();
    const auto runs = RunDatabase::openPlant(m_server.connection()).value()->list({});
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 1U);
    EXPECT_EQ(runs->at(0).cycles, 33);
    EXPECT_TRUE(shown().empty());
}

} // namespace
} // namespace runs::test
