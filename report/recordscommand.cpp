#include "recordscommand.h"

#include "history.h"
#include "pdfreport.h"
#include "reportcommand.h"
#include "runreport.h"
#include "summary.h"

#include "runs/plantsender.h"
#include "runs/rundatabase.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>

namespace report {

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int wrong(std::FILE *err, const QString &what)
{
    print(err, QStringLiteral("velmaro-report: %1\nTry 'velmaro-report --help'.\n").arg(what));
    return kCannotRead;
}

int cannot(std::FILE *err, const std::string &why)
{
    print(err, QStringLiteral("velmaro-report: %1\n").arg(QString::fromStdString(why)));
    return kCannotRead;
}

QString localTime(const QDateTime &utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                         : QStringLiteral("unknown");
}

QString duration(const runs::RunRecord &run)
{
    if (!run.start.isValid() || !run.end.isValid())
        return QStringLiteral("unknown");
    return durationText(run.start.msecsTo(run.end));
}

int writeRunPdf(const runs::RunRecord &run, const QString &output, std::FILE *out, std::FILE *err)
{
    QSaveFile pdf(output);
    if (!pdf.open(QIODevice::WriteOnly) || !writeRunReport(run, pdf) || !pdf.commit()) {
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
        .arg(run.id.left(8), localTime(run.start), duration(run).leftJustified(16),
             run.station.leftJustified(12),
             (run.serial.isEmpty() ? "-" : run.serial).leftJustified(10),
             runs::endingText(run.ending).leftJustified(37))
        .arg(run.cycles, 6)
        .arg(runs::verdictText(run.errorCount()));
}

std::optional<QDateTime> readSince(const QString &text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid())
        return day.startOfDay().toUTC();
    const QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
    if (moment.isValid())
        return moment.toUTC();
    return std::nullopt;
}

} // namespace

const char *const kRecordsHelp =
    "\nStored runs (velmaro/runs.sqlite in the data folder; with VELMARO_RUNS_DB set, the plant's\n"
    "PostgreSQL database, unless --local is given):\n"
    "  --runs [--serial S] [--station H] [--since DATE]   one line per stored run\n"
    "  --run ID|latest [-o OUT.pdf]                       the report of a stored run\n"
    "  --run ID|latest --serial S                         gives the run its lens serial\n"
    "  --history [--since DATE] [-o OUT.pdf]              runs per day and station, yield per "
    "week\n"
    "  --sync                                             sends the waiting runs to the plant\n"
    "  --local                                            reads this station's own records\n";

bool asksForRecords(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1))
        for (const char *option : {"--runs", "--run", "--history", "--sync"})
            if (argument == QLatin1String(option) ||
                argument.startsWith(QLatin1String(option) + u'='))
                return true;
    return false;
}

int runRecords(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    QCommandLineParser parser;
    const QCommandLineOption list(QStringLiteral("runs"), QStringLiteral("Lists the stored runs."));
    const QCommandLineOption run(QStringLiteral("run"),
                                 QStringLiteral("The stored run ID (or its beginning, or latest)."),
                                 QStringLiteral("ID"));
    const QCommandLineOption history(QStringLiteral("history"),
                                     QStringLiteral("Runs per day and station, and the yield."));
    const QCommandLineOption sync(QStringLiteral("sync"),
                                  QStringLiteral("Sends the waiting runs to the plant."));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("A lens serial."),
                                    QStringLiteral("S"));
    const QCommandLineOption station(QStringLiteral("station"), QStringLiteral("A station."),
                                     QStringLiteral("H"));
    const QCommandLineOption since(QStringLiteral("since"), QStringLiteral("A day, YYYY-MM-DD."),
                                   QStringLiteral("DATE"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Where the PDF goes."),
                                    QStringLiteral("OUT.pdf"));
    const QCommandLineOption local(QStringLiteral("local"),
                                   QStringLiteral("Reads this station's own records."));
    parser.addOptions({list, run, history, sync, serial, station, since, output, local});
    if (!parser.parse(arguments))
        return wrong(err, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return wrong(err, QStringLiteral("\"%1\" is not wanted with the run records")
                              .arg(parser.positionalArguments().constFirst()));
    const int commands = int(parser.isSet(list)) + int(parser.isSet(run)) +
                         int(parser.isSet(history)) + int(parser.isSet(sync));
    if (commands != 1)
        return wrong(err, QStringLiteral("give one of --runs, --run, --history and --sync"));
    const auto allowed = [&parser](const QCommandLineOption &option, bool where) {
        return where || !parser.isSet(option);
    };
    const bool settingSerial = parser.isSet(run) && parser.isSet(serial);
    if (!allowed(station, parser.isSet(list)))
        return wrong(err, QStringLiteral("--station goes with --runs"));
    if (!allowed(serial, parser.isSet(list) || parser.isSet(run)))
        return wrong(err, QStringLiteral("--serial goes with --runs or --run"));
    if (!allowed(since, parser.isSet(list) || parser.isSet(history)))
        return wrong(err, QStringLiteral("--since goes with --runs or --history"));
    if (!allowed(output, (parser.isSet(run) && !settingSerial) || parser.isSet(history)))
        return wrong(err, QStringLiteral("-o goes with --run ID or --history"));
    std::optional<QDateTime> from;
    if (parser.isSet(since) && !(from = readSince(parser.value(since))))
        return wrong(
            err,
            QStringLiteral("--since \"%1\" is not a date (YYYY-MM-DD)").arg(parser.value(since)));
    if (settingSerial && parser.value(serial).trimmed().isEmpty())
        return wrong(err, QStringLiteral("--serial needs the lens serial"));

    const QString plantAddress = runs::plantConnection();
    if (parser.isSet(sync)) {
        if (plantAddress.isEmpty())
            return wrong(err, QStringLiteral("--sync: no plant database is set (VELMARO_RUNS_DB)"));
        auto own = runs::RunDatabase::openStation(runs::stationDatabasePath());
        if (!own)
            return cannot(err, own.error());
        auto plant = runs::RunDatabase::openPlant(plantAddress);
        if (!plant)
            return cannot(err, plant.error());
        auto sent = runs::sendWaiting(**own, **plant);
        if (!sent)
            return cannot(err, sent.error());
        print(out, QStringLiteral("%1 run(s) sent to %2; none waiting.\n")
                       .arg(*sent)
                       .arg((*plant)->name()));
        return kDone;
    }

    const bool fromPlant = !plantAddress.isEmpty() && !parser.isSet(local);
    auto opened = fromPlant ? runs::RunDatabase::openPlant(plantAddress)
                            : runs::RunDatabase::openStation(runs::stationDatabasePath());
    if (!opened)
        return cannot(err, opened.error());
    runs::RunDatabase &records = **opened;
    if (!records.notice().isEmpty())
        print(err, QStringLiteral("velmaro-report: %1\n").arg(records.notice()));

    if (parser.isSet(list)) {
        auto found =
            records.list({parser.value(serial), parser.value(station), from.value_or(QDateTime())});
        if (!found)
            return cannot(err, found.error());
        for (const runs::RunRecord &each : *found)
            print(out, runLine(each));
        print(out, QStringLiteral("%1 run(s) in %2\n").arg(found->size()).arg(records.name()));
        return kDone;
    }

    if (parser.isSet(history)) {
        auto found = records.list({{}, {}, from.value_or(QDateTime())});
        if (!found)
            return cannot(err, found.error());
        const History summary = historyOf(*found);
        if (!parser.isSet(output)) {
            print(out, historyText(summary, records.name()));
            return kDone;
        }
        return writeHistoryPdf(summary, records.name(), parser.value(output), out, err);
    }

    auto found = records.find(parser.value(run));
    if (!found)
        return cannot(err, found.error());
    if (!settingSerial) {
        const QString pdf = parser.isSet(output)
                                ? parser.value(output)
                                : QStringLiteral("run-%1.pdf").arg(found->id.left(8));
        return writeRunPdf(*found, pdf, out, err);
    }

    // The serial goes to the station's record, and from there through the outbox; a run of
    // another station is given its serial in the plant itself.
    const QString serialText = parser.value(serial).trimmed();
    std::unique_ptr<runs::RunDatabase> ownStation;
    runs::RunDatabase *target = &records;
    if (fromPlant) {
        auto own = runs::RunDatabase::openStation(runs::stationDatabasePath());
        if (own && (*own)->find(found->id))
            ownStation = std::move(*own);
        if (ownStation)
            target = ownStation.get();
    }
    if (auto given = target->setSerial(found->id, serialText); !given)
        return cannot(err, given.error());
    print(out, QStringLiteral("Run %1 has the lens serial %2.\n").arg(found->id, serialText));
    const bool viaOutbox = ownStation != nullptr || (!fromPlant && !plantAddress.isEmpty());
    if (viaOutbox) {
        std::unique_ptr<runs::RunDatabase> plant;
        if (fromPlant) {
            plant = std::move(*opened);
        } else if (auto reached = runs::RunDatabase::openPlant(plantAddress)) {
            plant = std::move(*reached);
        } else {
            print(err, QStringLiteral("velmaro-report: %1; the serial waits in the outbox\n")
                           .arg(QString::fromStdString(reached.error())));
        }
        if (plant) {
            if (auto sent = runs::sendWaiting(*target, *plant); !sent)
                print(err, QStringLiteral("velmaro-report: %1; the serial waits in the outbox\n")
                               .arg(QString::fromStdString(sent.error())));
        }
    }
    return kDone;
}

} // namespace report
