// The keeper on its threads: runs stored at their end and at START, and the database's failures.
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "runs/runstore.h"

#include "testsupport/infolder.h"
#include "testsupport/records.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

using testsupport::madeRun;

::testing::AssertionResult done(const base::Status &status)
{
    if (status)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << status.error();
}

class Keeper : public ::testing::Test
{
protected:
    void writeLogs(const QByteArray &complete, const QByteArray &errors)
    {
        ASSERT_TRUE(testsupport::writeFile(m_dir.filePath("Log Complete.txt"), complete));
        ASSERT_TRUE(testsupport::writeFile(m_dir.filePath("Log Errors.txt"), errors));
    }
    std::unique_ptr<RunKeeper> keeper()
    {
        auto made = std::make_unique<RunKeeper>(
            KeeperSetup{dbPath(), {}, m_dir.path(), "station-a", "op", "1.2.0", [] {
                            return QStringLiteral("COM4 (/dev/pts/7)");
                        }});
        made->setNoteHandler([this](const QString &text) { m_notes << text; });
        return made;
    }
    std::vector<RunRecord> stored()
    {
        auto database = RunDatabase::openStation(dbPath());
        std::vector<RunRecord> runs;
        const auto listed = RunStore(**database).list({});
        for (const RunRecord &run : *listed)
            runs.push_back(*RunStore(**database).find(run.id));
        return runs;
    }
    [[nodiscard]] QString dbPath() const { return m_dir.filePath("data/velmaro/runs.sqlite"); }

    QTemporaryDir m_dir;
    QStringList m_notes;
};

const QByteArray kReached = "05/12/26  21:00  Zoom 1 Axis Full stroke test ascending  Position "
                            "reached: 8123\r\n";
const QByteArray kError = "05/12/26  21:00  POSITION ERROR (-57)  Zoom 1 Axis Full stroke test "
                          "ascending\r\n";

TEST_F(Keeper, RunsAreStoredWhenTheyEndAndWhenStartFindsThemUnstored)
{
    auto runKeeper = keeper();
    EXPECT_TRUE(done(runKeeper->keepPreviousRun())); // no logs yet: nothing to keep

    writeLogs({}, {});
    runKeeper->runStarted(false, true);
    writeLogs(kReached + kError + kReached, kError);
    runKeeper->runEnded(runin::RunEnding::Aborted, 3);
    EXPECT_TRUE(done(runKeeper->keepPreviousRun())); // stored already: nothing more

    // A crash: logs of a run nobody told the keeper about.
    writeLogs(kReached, {});
    EXPECT_TRUE(done(runKeeper->keepPreviousRun()));
    EXPECT_TRUE(done(runKeeper->keepPreviousRun()));
    runKeeper.reset();

    const auto runs = stored();
    ASSERT_EQ(runs.size(), 2U);
    const RunRecord &aborted = runs.at(0).ending == runin::RunEnding::Aborted ? runs[0] : runs[1];
    const RunRecord &unknown = &aborted == &runs[0] ? runs[1] : runs[0];
    // The logs' bytes and the endings are the end-to-end test's; here what the keeper sums up.
    EXPECT_EQ(aborted.port, "COM4 (/dev/pts/7)");
    EXPECT_EQ(aborted.cycles, 3);
    EXPECT_EQ(aborted.axes[0].moves, 2);
    EXPECT_EQ(aborted.axes[0].largest, 57.0);
    EXPECT_EQ(unknown.complete, kReached);
    EXPECT_TRUE(m_notes.isEmpty()) << m_notes.join('\n').toStdString();
}

TEST_F(Keeper, AfterARestartTheStoredRunIsFoundStored_AndARunTheLogsHoldSinceIsKept)
{
    writeLogs({}, {});
    auto before = keeper();
    before->runStarted(true, false);
    writeLogs(kReached, kError);
    before->runEnded(runin::RunEnding::Completed, 0);
    before.reset();

    // Another keeper knows nothing of what the last one stored: it looks at the logs themselves.
    auto after = keeper();
    EXPECT_TRUE(done(after->keepPreviousRun()));
    ASSERT_EQ(stored().size(), 1U);
    // A crash in the next run: its logs, the same size as the last run's, never told of.
    writeLogs(kReached, kReached.left(kError.size()));
    EXPECT_TRUE(done(after->keepPreviousRun()));
    EXPECT_TRUE(done(after->keepPreviousRun()));
    after.reset();
    const auto runs = stored();
    ASSERT_EQ(runs.size(), 2U);
    EXPECT_EQ(runs[0].ending == runin::RunEnding::Unknown ? runs[0].errors : runs[1].errors,
              kReached.left(kError.size()));
}

TEST_F(Keeper, DatabaseThatCannotBeWritten_StartIsToldWhyAndTheEndNotesIt)
{
    // A folder where the file should be: nothing can be stored.
    ASSERT_TRUE(QDir().mkpath(dbPath()));
    auto runKeeper = keeper();
    writeLogs({}, {});
    runKeeper->runStarted(true, false);
    writeLogs(kReached, {});
    runKeeper->runEnded(runin::RunEnding::LineLost, 0);
    const base::Status kept = runKeeper->keepPreviousRun();
    ASSERT_FALSE(kept);
    EXPECT_NE(kept.error().find(dbPath().toStdString()), std::string::npos) << kept.error();
    QCoreApplication::processEvents();
    ASSERT_EQ(m_notes.size(), 1);
    EXPECT_TRUE(m_notes[0].contains("could not be stored")) << m_notes[0].toStdString();

    // Once the disk is right again, START keeps the run with what it knew of itself.
    ASSERT_TRUE(QDir(dbPath()).removeRecursively());
    EXPECT_TRUE(done(runKeeper->keepPreviousRun()));
    runKeeper.reset();
    const auto runs = stored();
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_EQ(runs[0].ending, runin::RunEnding::LineLost);
    EXPECT_EQ(runs[0].tests, "Single Step");
}

TEST_F(Keeper, DamagedFileIsMovedAsideAndANewOneStarted)
{
    ASSERT_TRUE(testsupport::writeFile(dbPath(), QByteArray(8192, 'x'))); // damaged

    auto opened = RunDatabase::openStation(dbPath());
    ASSERT_TRUE(opened) << opened.error();
    const QString notice = (*opened)->notice();
    const QStringList aside = QDir(QFileInfo(dbPath()).path()).entryList({"runs.sqlite.damaged-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(notice.contains(dbPath()) && notice.contains(aside[0])) << notice.toStdString();
    EXPECT_TRUE(done(RunStore(**opened).put(madeRun("station-a", 1))));
    EXPECT_EQ(testsupport::fileBytes(QFileInfo(dbPath()).dir().filePath(aside[0])),
              QByteArray(8192, 'x'));
}

TEST(StoredLogs, DamagedOrForgedBlobsAreRefusedNotTrusted)
{
    const QByteArray log = madeRun("s", 3, 5000).complete;
    EXPECT_EQ(*unpackLog(packLog(log)), log);
    QByteArray forged = packLog(log);
    forged[0] = '\x7f'; // claims 2 GB
    EXPECT_FALSE(unpackLog(forged));
    QByteArray cut = packLog(log);
    cut.chop(10);
    EXPECT_FALSE(unpackLog(cut));
    EXPECT_FALSE(unpackLog("ab"));
}

} // namespace
} // namespace runs::test
