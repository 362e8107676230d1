// A run cut short by a lost line, kept by the keeper: what it stores is what the logs hold once
// the run is over, so the next START finds nothing unstored.
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "runs/runstore.h"

#include "link/channel.h"
#include "platform/clock.h"
#include "runin/logfiles.h"
#include "runin/sequencer.h"
#include "testsupport/fakelink.h"
#include "testsupport/infolder.h"
#include "testsupport/recordingview.h"
#include "testsupport/repluglink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

TEST(LostRun, LineLostInAZoomMovesCompletionCheck_TheStoredLogsAreTheFilesAndStartAddsNothing)
{
    const testsupport::InTemporaryFolder dir;
    platform::VirtualClock clock;
    testsupport::RecordingTone tone;
    sim::Controller controller;
    // The cable comes out at the first position-error query of Zoom 1.
    testsupport::ReplugLink link(clock);
    link.plug(controller);
    link.pullAt = "erorre = _TEA\r";
    ASSERT_TRUE(link.open(1));
    comm::CommandChannel channel(link, clock, tone);
    testsupport::RecordingView view;
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
    EXPECT_EQ(run->complete, testsupport::fileBytes(runin::LogFiles::kComplete));
    EXPECT_EQ(run->errors, testsupport::fileBytes(runin::LogFiles::kErrors));
}

} // namespace
} // namespace runs::test
