// velmaro-report from its arguments to the PDF (pages rendered to PNG as artefacts), and statuses.
#include "report/commands.h"
#include "runlog/summary.h"
#include "runs/camstore.h"
#include "runs/rundatabase.h"

#include "testsupport/camtext.h"
#include "testsupport/capture.h"
#include "testsupport/infolder.h"
#include "testsupport/logmaker.h"
#include "testsupport/records.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <tuple>

namespace report::test {
namespace {

using namespace runin;
using testing::HasSubstr;
using testsupport::LogMaker;
using testsupport::stepTestLog;

struct Outcome
{
    int status = -1;
    std::string out, err;
};

class ReportCommand : public testing::Test
{
protected:
    Outcome run(QStringList arguments)
    {
        arguments.prepend(QStringLiteral("velmaro-report"));
        auto [status, out, err] = testsupport::captured(
            [&](std::FILE *o, std::FILE *e) { return runCommandLine(arguments, o, e); });
        return {status, std::move(out), std::move(err)};
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        EXPECT_TRUE(testsupport::writeFile(path(name), bytes));
        return path(name);
    }

    [[nodiscard]] QString path(const QString &name) const { return m_dir.filePath(name); }

    // The text of pages `first` to `last`, blanks and line ends made single blanks.
    static QString pdfText(const QString &pdf, int first, int last)
    {
        QProcess process;
        process.start(QStringLiteral(VELMARO_PDFTOTEXT),
                      {QStringLiteral("-f"), QString::number(first), QStringLiteral("-l"),
                       QString::number(last), pdf, QStringLiteral("-")});
        EXPECT_TRUE(process.waitForFinished(30'000));
        return QString::fromUtf8(process.readAllStandardOutput())
            .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    }

    static void render(const QString &pdf, const QString &name)
    {
        const QString folder = QStringLiteral(VELMARO_ARTEFACTS);
        QDir().mkpath(folder);
        QProcess process;
        process.start(QStringLiteral(VELMARO_PDFTOPPM),
                      {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"), pdf,
                       QDir(folder).filePath(name)});
        ASSERT_TRUE(process.waitForFinished(60'000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }

    QTemporaryDir m_dir;
};

TEST_F(ReportCommand, PageOneHoldsTheRunsFiguresAndTheLastPageTheUnreadableLines)
{
    LogMaker log;
    log.locale = QLocale::system();
    stepTestLog(log);
    log.cycle();
    log.cycle();
    log.error(kIrisAxis, kStrokeDescending, "14");
    log.add(QStringLiteral("not a log line"));
    const QString complete = write(QStringLiteral("Log Complete.txt"), log.bytes);
    const QString errors =
        write(QStringLiteral("Log Errors.txt"),
              log.bytes.split('\n').at(6) + "\n" + log.bytes.split('\n').at(81) + "\n");

    // Every 20th row unrecorded, row 33 mis-recorded, row 50 hand-edited into nonsense.
    const QByteArray cam = testsupport::camText([](int n) {
        return n % 20 == 0 ? QStringLiteral(";")
                           : QStringLiteral("%1;%2")
                                 .arg(n == 50 ? QStringLiteral("abc")
                                              : QString::number(n == 33 ? 9000 : 40 * n))
                                 .arg(-25 * n);
    });
    const QString camTable = write(QStringLiteral("Camma.txt"), cam);

    const Outcome outcome =
        run({complete, QStringLiteral("--errors"), errors, QStringLiteral("--cam"), camTable});
    ASSERT_EQ(outcome.status, kDone) << outcome.err;
    const QString pdf = path(QStringLiteral("Log Complete.pdf"));
    EXPECT_THAT(outcome.out, HasSubstr(pdf.toStdString()));
    render(pdf, QStringLiteral("report-step-and-stroke"));

    const QString first = pdfText(pdf, 1, 1);
    const Stamp start = stampOf(QDateTime(QDate(2026, 3, 4), QTime(8, 0)));
    EXPECT_THAT(first.toStdString(), HasSubstr(QStringLiteral("First line %1 %2")
                                                   .arg(start.date, start.time)
                                                   .simplified()
                                                   .toStdString()));
    // 557 lines of the step test, 16 of two cycles, one error: 3 s apart, as far as the locale's
    // short time shows seconds.
    const auto end = momentOf(stampOf(QDateTime(QDate(2026, 3, 4), QTime(8, 28, 39))));
    const auto duration = runlog::durationText(momentOf(start)->msecsTo(*end));
    EXPECT_THAT(first.toStdString(), HasSubstr("Duration " + duration.toStdString()));
    for (const char *figure :
         {"Lines 574 read, 1 unreadable", "Unreadable elsewhere 1 in Camma.txt",
          "Completed full-stroke cycles 2", "Step test ascending 86 86 6 101",
          "Full stroke test descending 2 2 2 2", "Zoom 1 2 23 2 errors above 10",
          "Iris 1 14 1 error above 10", "Focus 0 - no error above 10",
          "Log Errors.txt: 2 error line(s), not the same as in the complete log: only in the "
          "complete log: line(s) 345, 574"})
        EXPECT_THAT(first.toStdString(), HasSubstr(figure));

    const std::string cams = pdfText(pdf, 4, 4).toStdString();
    EXPECT_THAT(cams, HasSubstr("33 235 mm 34 240 mm"));
    EXPECT_THAT(cams, HasSubstr("Zoom 1 7720.0 40.0 Zoom 1 7640.0 40.0"));
    const std::string last = pdfText(pdf, 5, 50).toStdString();
    EXPECT_THAT(last, HasSubstr("Log Complete.txt 575"));
    EXPECT_THAT(last, HasSubstr("not a log line"));
    EXPECT_THAT(last, HasSubstr("Camma.txt 50 the Zoom 1 position of 320 mm is not a number"));
}

TEST_F(ReportCommand, AFileThatCannotBeReadOrWrittenIsNamed_AnEmptyLogStillMakesAReport)
{
    const QString complete = write(QStringLiteral("Log Complete.txt"), {});
    const QString missing = path(QStringLiteral("missing.txt"));
    const QString nowhere = path(QStringLiteral("no folder/report.pdf"));
    const std::tuple<QStringList, int, std::string> cases[] = {
        {{missing}, kCannotRead, "cannot read the log \"" + missing.toStdString() + "\""},
        {{complete, QStringLiteral("--errors"), path(QStringLiteral("nothing.txt"))},
         kCannotRead,
         "nothing.txt"},
        {{complete, QStringLiteral("--cam"), path(QStringLiteral("Camma.txt"))},
         kCannotRead,
         "Camma.txt"},
        {{complete, QStringLiteral("-o"), nowhere},
         kCannotWrite,
         "cannot write the report \"" + nowhere.toStdString()},
        {{complete, QStringLiteral("--colour")}, kCannotRead, ""},
        {{}, kCannotRead, ""},
    };
    for (const auto &[arguments, status, message] : cases) {
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, status) << message;
        EXPECT_THAT(outcome.err, HasSubstr(message));
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Log Complete.pdf"))));

    const QString out = path(QStringLiteral("report.pdf"));
    ASSERT_EQ(run({complete, QStringLiteral("-o"), out}).status, kDone);
    render(out, QStringLiteral("report-empty"));
    EXPECT_THAT(pdfText(out, 1, 1).toStdString(), HasSubstr("Lines 0 read, 0 unreadable"));
}

// The cam table a run's report shows is the one its lens had when the run started: the serial's
// latest table saved before the start, not an older one, a newer one or another lens's.
TEST(RunReport, TakesTheSerialsLatestCamTableSavedBeforeTheStart)
{
    QTemporaryDir dir;
    auto records = runs::RunDatabase::openStation(dir.filePath("runs.sqlite"));
    ASSERT_TRUE(records) << records.error();
    const runs::RunRecord run = testsupport::madeRun("station-a", 1, 100, "L-7");
    const qint64 start = testsupport::madeCam({}, 0).saved.secsTo(run.start);
    using testsupport::camBytes, testsupport::madeCam;
    const runs::CamRecord latest = madeCam(camBytes(5), start - 60, "station-a", "L-7");
    for (const runs::CamRecord &cam : {madeCam(camBytes(1), start - 7200, "station-a", "L-7"),
                                       latest, madeCam(camBytes(9), start + 60, "station-a", "L-7"),
                                       madeCam(camBytes(3), start - 30, "station-a", "L-8")})
        ASSERT_TRUE(runs::CamStore(**records).put(cam));
    const auto table = runs::CamStore(**records).tableOfRun(run);
    ASSERT_TRUE(table && *table) << (table ? "none" : table.error());
    EXPECT_TRUE((*table)->file.startsWith(latest.id)) << (*table)->file.toStdString();
}

} // namespace
} // namespace report::test
