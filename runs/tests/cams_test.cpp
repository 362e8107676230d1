// Kept cam tables at the station: records, ids, damaged bytes, the lens on the station, the keeper.
#include "runs/camstore.h"
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "runs/runstore.h"
#include "runs/stationsettings.h"
#include "testsupport/records.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace runs::test {
namespace {

using testsupport::camBytes;
using testsupport::madeRun;

CamRecord madeCam(const QByteArray &bytes, int minute)
{
    return testsupport::madeCam(bytes, 60LL * minute);
}

// Runs SQL on the file behind the program's back, as a hand or a broken disk would.
void tamper(const QString &path, const QString &sql)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tamper");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase("tamper");
}

class Cams : public ::testing::Test
{
protected:
    [[nodiscard]] QString dbPath() const { return m_dir.filePath("data/velmaro/runs.sqlite"); }
    std::unique_ptr<RunDatabase> open()
    {
        auto opened = RunDatabase::openStation(dbPath());
        EXPECT_TRUE(opened) << (opened ? "" : opened.error());
        return opened ? std::move(*opened) : nullptr;
    }
    QTemporaryDir m_dir;
};

TEST_F(Cams, OnlyAChangedTableMakesARecordAndEachIsFoundByItsId)
{
    auto db = open();
    const CamRecord first = madeCam(camBytes(0), 1);
    EXPECT_TRUE(*CamStore(*db).keep(first));
    EXPECT_FALSE(*CamStore(*db).keep(madeCam(camBytes(0), 2))) << "the same bytes again";
    const CamRecord changed = madeCam(camBytes(7), 3);
    EXPECT_TRUE(*CamStore(*db).keep(changed));
    // Back to the first table: not the latest any more, so a record of its own.
    const CamRecord back = madeCam(camBytes(0), 4);
    EXPECT_TRUE(*CamStore(*db).keep(back));

    const auto listed = CamStore(*db).list({});
    ASSERT_EQ(listed->size(), 3U);
    EXPECT_EQ(listed->at(0).id, back.id) << "newest first";
    EXPECT_TRUE(listed->at(0).bytes.isEmpty()) << "a list leaves the bytes out";
    EXPECT_EQ(CamStore(*db).list({{}, {}, first.saved.addSecs(60), back.saved})->size(), 1U);
    EXPECT_EQ(*CamStore(*db).find(changed.id.left(6)), changed);
    EXPECT_EQ(CamStore(*db).find("latest")->id, back.id);

    for (const auto &[given, named] :
         {std::pair{QStringLiteral("ffffffff"), "no cam table with the id ffffffff"},
          std::pair{QStringLiteral("L-4711"), "\"L-4711\" is not a cam table id"},
          std::pair{QString(), "\"\" is not a cam table id"}}) {
        const auto found = CamStore(*db).find(given);
        ASSERT_FALSE(found);
        EXPECT_NE(found.error().find(named), std::string::npos) << found.error();
    }
    // Two ids that begin alike: the beginning they share is not enough.
    CamRecord twin = madeCam(camBytes(9), 5);
    twin.id = back.id.left(8) + QUuid::createUuid().toString(QUuid::WithoutBraces).mid(8);
    ASSERT_TRUE(CamStore(*db).keep(twin));
    const auto ambiguous = CamStore(*db).find(back.id.left(8));
    ASSERT_FALSE(ambiguous);
    EXPECT_NE(ambiguous.error().find("more than one cam table"), std::string::npos);
}

TEST_F(Cams, DamagedOrForgedBytesAreRefusedNamingTheRecord)
{
    auto db = open();
    const CamRecord kept = madeCam(camBytes(0), 1);
    ASSERT_TRUE(CamStore(*db).keep(kept));
    db.reset();
    tamper(dbPath(), QStringLiteral("UPDATE cam_records SET bytes = X'%1'")
                         .arg(QString::fromLatin1(camBytes(1).toHex())));
    db = open();
    const auto found = CamStore(*db).find(kept.id);
    ASSERT_FALSE(found);
    EXPECT_NE(found.error().find(kept.id.toStdString()), std::string::npos) << found.error();
    EXPECT_NE(found.error().find("does not match its digest"), std::string::npos);
}

TEST_F(Cams, AnOlderDatabaseGainsTheTablesAndKeepsItsRuns)
{
    const RunRecord run = madeRun("station-a", 2);
    {
        auto db = open();
        ASSERT_TRUE(RunStore(*db).put(run));
    }
    // As the previous version left it: its runs, and no cam tables yet.
    tamper(dbPath(), "DROP TABLE cam_records");
    tamper(dbPath(), "DROP TABLE station_settings");
    tamper(dbPath(), "DROP TABLE run_progress");
    tamper(dbPath(), "UPDATE velmaro_schema SET version = 1");
    auto db = open();
    EXPECT_EQ(*RunStore(*db).find(run.id), run);
    EXPECT_TRUE(CamStore(*db).keep(madeCam(camBytes(0), 1)));
    EXPECT_TRUE(StationSettings(*db).setLens("L-1"));
}

TEST(Serial, OnlyPrintableTextOfOneToFortyCharactersWithoutBlanksAtItsEnds)
{
    for (const QString &good : {QStringLiteral("L-4711"), QStringLiteral("A 7/2026 #3"),
                                QStringLiteral("Ø-Objektiv-äöü"), QString(40, u'x')})
        EXPECT_TRUE(checkSerial(good)) << good.toStdString();
    for (const auto &[bad, why] :
         {std::pair{QString(), "is empty"}, std::pair{QString(41, u'x'), "has 41 characters"},
          std::pair{QStringLiteral(" L-1"), "begins with a blank"},
          std::pair{QStringLiteral("L-1\u00a0"), "ends with a blank"},
          std::pair{QStringLiteral("L\t1"), "not printable (U+0009 at position 2)"},
          std::pair{QStringLiteral("L-1\x1b[2J"), "not printable (U+001B at position 4)"}}) {
        const base::Status checked = checkSerial(bad);
        ASSERT_FALSE(checked) << bad.toStdString();
        EXPECT_NE(checked.error().find(why), std::string::npos) << checked.error();
        EXPECT_EQ(checked.error().find('\x1b'), std::string::npos)
            << "no escape reaches a terminal";
    }
}

class CamKeeper : public Cams
{
protected:
    std::unique_ptr<RunKeeper> keeper()
    {
        return std::make_unique<RunKeeper>(KeeperSetup{
            dbPath(), {}, m_dir.path(), "station-a", "op", "1.2.0", [] { return QString(); }});
    }
    // Hands a table over as the cam table part does; the answer comes on this thread.
    base::Status keep(RunKeeper &keeper, const QByteArray &bytes)
    {
        std::optional<base::Status> answer;
        keeper.keepCamTable(bytes, 86, [&answer](const base::Status &kept) {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            answer = kept;
        });
        while (!answer)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return *answer;
    }
};

TEST_F(CamKeeper, TablesAndRunsTakeTheLensOnTheStation)
{
    auto runKeeper = keeper();
    ASSERT_TRUE(StationSettings(*open()).setLens("L-4711"));
    EXPECT_TRUE(keep(*runKeeper, camBytes(0)));
    EXPECT_TRUE(keep(*runKeeper, camBytes(0)));
    runKeeper->runStarted(false, true);
    runKeeper->waitForStoring();
    // The next lens is set while the run goes on: the run keeps the lens it started with.
    ASSERT_TRUE(StationSettings(*open()).setLens("L-4712"));
    runKeeper->runEnded(runin::RunEnding::Aborted, 1);
    EXPECT_TRUE(keep(*runKeeper, camBytes(3)));
    runKeeper.reset();

    auto db = open();
    const auto tables = CamStore(*db).list({});
    ASSERT_EQ(tables->size(), 2U);
    EXPECT_EQ(tables->at(0).serial, "L-4712");
    EXPECT_EQ(tables->at(1).serial, "L-4711");
    EXPECT_EQ(CamStore(*db).find(tables->at(1).id)->bytes, camBytes(0));
    EXPECT_EQ(RunStore(*db).list({})->at(0).serial, "L-4711");
    EXPECT_EQ(*StationSettings(*db).lens(), "L-4712");
    ASSERT_TRUE(StationSettings(*db).setLens({}));
    EXPECT_EQ(*StationSettings(*db).lens(), "");
}

TEST_F(CamKeeper, ATableThatCannotBeKeptIsToldWithTheReason)
{
    // A folder where the file should be: nothing can be kept.
    ASSERT_TRUE(QDir().mkpath(dbPath()));
    auto runKeeper = keeper();
    const base::Status kept = keep(*runKeeper, camBytes(0));
    ASSERT_FALSE(kept);
    EXPECT_NE(kept.error().find(dbPath().toStdString()), std::string::npos) << kept.error();

    // Once the disk is right again the next save is kept.
    ASSERT_TRUE(QDir(dbPath()).removeRecursively());
    EXPECT_TRUE(keep(*runKeeper, camBytes(0)));
}

} // namespace
} // namespace runs::test
