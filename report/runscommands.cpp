#include "commands.h"
#include "history.h"

#include "drawing/runreport.h"
#include "quality/export.h"
#include "quality/quality.h"
#include "runin/verdict.h"
#include "runlog/summary.h"
#include "runs/camstore.h"
#include "runs/connection.h"
#include "runs/localtime.h"
#include "runs/plantsender.h"
#include "runs/runstore.h"

#include <QFileInfo>
#include <QSaveFile>

#include <memory>

namespace report {

namespace {

int cannot(std::FILE *err, const std::string &why)
{
    return fail(err, QString::fromStdString(why));
}

QString duration(const runs::RunRecord &run)
{
    if (!run.start.isValid() || !run.end.isValid())
        return QStringLiteral("unknown");
    return runlog::durationText(run.start.msecsTo(run.end));
}

int writeRunPdf(runs::RunDatabase &records, const runs::RunRecord &run, const QString &output,
                std::FILE *out, std::FILE *err)
{
    // The lens's calibration as it stood when the run began; a damaged one is named, not shown.
    auto cam = runs::CamStore(records).tableOfRun(run);
    if (!cam)
        print(err, QStringLiteral("velmaro-report: %1; the report goes without its cam table\n")
                       .arg(QString::fromStdString(cam.error())));
    QSaveFile pdf(output);
    if (!pdf.open(QIODevice::WriteOnly) ||
        !drawing::writeRunReport(run, cam ? *cam : std::nullopt, pdf) || !pdf.commit()) {
        print(err, QStringLiteral("velmaro-report: cannot write the report \"%1\": %2\n")
                       .arg(output, pdf.errorString()));
        return kCannotWrite;
    }
    print(out, QStringLiteral("Report written to %1\n").arg(output));
    return kDone;
}

QString runLine(const runs::RunRecord &run)
{
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
        .arg(run.id.left(8), runs::localTime(run.start), duration(run).leftJustified(16),
             run.station.leftJustified(12),
             (run.serial.isEmpty() ? "-" : run.serial).leftJustified(10),
             runs::endingText(run.ending).leftJustified(37),
             QString::number(run.cycles).rightJustified(6), runin::verdictText(run.errorCount()));
}

} // namespace

base::Result<Records> openRecords(const CommandLine &line, std::FILE *err)
{
    const QString plant = runs::plantConnection();
    auto opened = !plant.isEmpty() && !line.local
                      ? runs::RunDatabase::openPlant(plant)
                      : runs::RunDatabase::openStation(runs::stationDatabasePath());
    if (opened && !(*opened)->notice().isEmpty())
        print(err, QStringLiteral("velmaro-report: %1\n").arg((*opened)->notice()));
    return opened;
}

int giveSerial(const SerialTarget &target, const CommandLine &line, Records records, std::FILE *out,
               std::FILE *err)
{
    const QString plantAddress = runs::plantConnection();
    const bool fromPlant = !plantAddress.isEmpty() && !line.local;
    Records ownStation;
    runs::RunDatabase *into = records.get();
    if (fromPlant) {
        auto own = runs::RunDatabase::openStation(runs::stationDatabasePath());
        if (own && target.heldBy(**own))
            ownStation = std::move(*own);
        if (ownStation)
            into = ownStation.get();
    }
    if (auto given = target.give(*into); !given)
        return cannot(err, given.error());
    print(
        out,
        QStringLiteral("%1 %2 has the lens serial %3.\n").arg(target.kind, target.id, line.serial));
    const bool viaOutbox = ownStation != nullptr || (!fromPlant && !plantAddress.isEmpty());
    if (!viaOutbox)
        return kDone;
    Records plant;
    if (fromPlant) {
        plant = std::move(records);
    } else if (auto reached = runs::RunDatabase::openPlant(plantAddress)) {
        plant = std::move(*reached);
    } else {
        print(err, QStringLiteral("velmaro-report: %1; the serial waits in the outbox\n")
                       .arg(QString::fromStdString(reached.error())));
    }
    if (plant) {
        if (auto sent = runs::sendWaiting(*into, *plant); !sent)
            print(err, QStringLiteral("velmaro-report: %1; the serial waits in the outbox\n")
                           .arg(QString::fromStdString(sent.error())));
    }
    return kDone;
}

int syncCommand(const CommandLine &, Records, std::FILE *out, std::FILE *err)
{
    const QString plantAddress = runs::plantConnection();
    if (plantAddress.isEmpty())
        return fail(err, QStringLiteral("--sync: no plant database is set (VELMARO_RUNS_DB)\n"
                                        "Try 'velmaro-report --help'."));
    auto own = runs::RunDatabase::openStation(runs::stationDatabasePath());
    if (!own)
        return cannot(err, own.error());
    auto plant = runs::RunDatabase::openPlant(plantAddress);
    if (!plant)
        return cannot(err, plant.error());
    auto sent = runs::sendWaiting(**own, **plant);
    if (!sent)
        return cannot(err, sent.error());
    print(out, QStringLiteral("%1 record(s) sent to %2; none waiting.\n")
                   .arg(*sent)
                   .arg((*plant)->name()));
    return kDone;
}

int runsCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto found = runs::RunStore(*records).list(line.filter);
    if (!found)
        return cannot(err, found.error());
    if (line.csv) {
        const QByteArray csv = quality::runsCsv(*found);
        std::fwrite(csv.constData(), 1, static_cast<std::size_t>(csv.size()), out);
        return kDone;
    }
    for (const runs::RunRecord &each : *found)
        print(out, runLine(each));
    print(out, QStringLiteral("%1 run(s) in %2\n").arg(found->size()).arg(records->name()));
    return kDone;
}

int qualityCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto figures = quality::compute(*records, line.filter);
    if (!figures)
        return cannot(err, figures.error());
    if (line.csv) {
        const QByteArray csv = quality::qualityCsv(*figures);
        std::fwrite(csv.constData(), 1, static_cast<std::size_t>(csv.size()), out);
        return kDone;
    }
    print(out, quality::qualityText(*figures, records->name()));
    return kDone;
}

int historyCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto found = runs::RunStore(*records).list(line.filter);
    if (!found)
        return cannot(err, found.error());
    auto figures = quality::compute(*records, line.filter);
    if (!figures)
        return cannot(err, figures.error());
    const History summary = historyOf(*found, quality::weeklyYield(*figures));
    if (line.output.isEmpty()) {
        print(out, historyText(summary, records->name()));
        return kDone;
    }
    return writeHistoryPdf(summary, records->name(), line.output, out, err);
}

int runReportCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto found = runs::RunStore(*records).find(line.run);
    if (!found)
        return cannot(err, found.error());
    const QString pdf =
        line.output.isEmpty() ? QStringLiteral("run-%1.pdf").arg(found->id.left(8)) : line.output;
    return writeRunPdf(*records, *found, pdf, out, err);
}

int runSerialCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto found = runs::RunStore(*records).find(line.run);
    if (!found)
        return cannot(err, found.error());
    const QString id = found->id;
    return giveSerial({QStringLiteral("Run"), id,
                       [id](runs::RunDatabase &db) { return runs::RunStore(db).find(id).ok(); },
                       [id, &line](runs::RunDatabase &db) {
                           return runs::RunStore(db).setSerial(id, line.serial);
                       }},
                      line, std::move(records), out, err);
}

} // namespace report
