// A run cut short by a lost line, kept by the keeper: what it stores is what the logs hold once
// the run is over, so the next START finds nothing unstored.
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "runs/runstore.h"

#include "link/channel.h"
#include "platform/clock.h"
#include "platform/tone.h"
#include "runin/logfiles.h"
#include "runin/sequencer.h"
#include "sim/controller.h"
#include "sim/simlink.h"
#include "testsupport/infolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

// The in-process controller behind a cable that comes out at the first position-error query of
// `letter`: from that write on, nothing goes through and the loss is told at once, as the real
// port tells it.
class PulledLink final : public comm::SerialLink
{
public:
    PulledLink(sim::Controller &controller, platform::Clock &clock, std::string letter)
        : m_link(controller, clock), m_pullAt("erorre = _TE" + letter + "\r")
    {}

    base::Status open(int portNumber) override { return m_link.open(portNumber); }
    void close() override { m_link.close(); }
    [[nodiscard]] bool isOpen() const override { return !m_pulled && m_link.isOpen(); }
    base::Status write(std::string_view data) override
    {
        if (!m_pulled && data == m_pullAt) {
            m_pulled = true;
            notifyLost("the device was pulled");
        }
        if (m_pulled)
            return base::fail(base::FailureKind::Unavailable, "the serial port is not open");
        return m_link.write(data);
    }
    int bytesWaiting() override { return m_pulled ? 0 : m_link.bytesWaiting(); }
    std::string takeAll() override { return m_pulled ? std::string() : m_link.takeAll(); }

private:
    sim::SimLink m_link;
    std::string m_pullAt;
    bool m_pulled = false;
};

struct SilentTone final : platform::Tone
{
    void beep(int, platform::Millis) override {}
};

// The frame's controls, not looked at here.
struct UnseenView final : runin::RunInView
{
    void setLabelStep1(const QString &) override {}
    void setLabelStep2(const QString &) override {}
    void setLabelCycles(const QString &) override {}
    void setLight(runin::Light, bool) override {}
    void addListItem(const QString &) override {}
    bool fullStrokeTicked() override { return false; }
    void lockControls() override {}
    void unlockControls() override {}
    void startTicking() override { ticking = true; }
    void stopTicking() override { ticking = false; }
    bool ticking = false;
};

QByteArray bytesOf(const char *name)
{
    QFile file(QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(LostRun, LineLostInAZoomMovesCompletionCheck_TheStoredLogsAreTheFilesAndStartAddsNothing)
{
    const testsupport::InTemporaryFolder dir;
    platform::VirtualClock clock;
    SilentTone tone;
    sim::Controller controller;
    PulledLink link(controller, clock, "A");
    ASSERT_TRUE(link.open(1));
    comm::CommandChannel channel(link, clock, tone);
    UnseenView view;
    runin::Sequencer sequencer(channel, clock, tone, view);

    const QString database = dir.filePath("runs.sqlite");
    RunKeeper keeper(KeeperSetup{database, {}, dir.path(), "station-a", "op", "1.2.0", {}});
    // Stored the moment the run is handed over, so that a line written after the hand-over
    // is missed every time, not only when the storing thread happens to be quick.
    sequencer.setEndHandler([&keeper](runin::RunEnding how, std::int32_t cycles) {
        keeper.runEnded(how, cycles);
        keeper.waitForStoring();
    });
    // What the main window does when the line is lost.
    link.setLostHandler([&sequencer](const std::string &reason) {
        sequencer.stop(QString::fromStdString(reason), runin::RunEnding::LineLost);
    });

    ASSERT_TRUE(keeper.keepPreviousRun());
    keeper.runStarted(true, false);
    sequencer.start(true);
    for (int i = 0; i < 1000 && view.ticking; ++i) {
        clock.advance(platform::Millis(100));
        sequencer.tick();
    }
    ASSERT_FALSE(sequencer.isRunning());
    ASSERT_TRUE(keeper.keepPreviousRun()); // the next START

    const auto station = RunDatabase::openStation(database);
    ASSERT_TRUE(station) << station.error();
    const auto runs = RunStore(**station).list({});
    ASSERT_TRUE(runs) << runs.error();
    ASSERT_EQ(runs->size(), 1U) << "the run is not stored a second time";
    const auto run = RunStore(**station).find(runs->front().id);
    ASSERT_TRUE(run) << run.error();
    EXPECT_EQ(run->ending, runin::RunEnding::LineLost);
    // The zoom 2 line, written after the loss, is in the file and in the record.
    EXPECT_TRUE(run->complete.contains("Zoom 2 Axis Step test ascending  Position reached: "
                                       "###"));
    EXPECT_EQ(run->complete, bytesOf(runin::LogFiles::kComplete));
    EXPECT_EQ(run->errors, bytesOf(runin::LogFiles::kErrors));
}

} // namespace
} // namespace runs::test
