#include "recordscommand.h"

#include "camcommands.h"
#include "history.h"
#include "pdfreport.h"
#include "reportcommand.h"
#include "summary.h"

#include "runs/plantsender.h"
#include "runs/rundatabase.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSaveFile>

#include <functional>
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

// The run's own figures, before those its log gives.
std::vector<std::pair<QString, QString>> aboutRun(const runs::RunRecord &run)
{
    return {{QStringLiteral("Run"), run.id},
            {QStringLiteral("Station"), run.station},
            {QStringLiteral("Operator"), run.operatorName},
            {QStringLiteral("Version"), run.version},
            {QStringLiteral("Port"), run.port},
            {QStringLiteral("Lens serial"),
             run.serial.isEmpty() ? QStringLiteral("not given") : run.serial},
            {QStringLiteral("Tests"), run.tests},
            {QStringLiteral("Started"), localTime(run.start)},
            {QStringLiteral("Ended"), localTime(run.end)},
            {QStringLiteral("How it ended"), runs::endingText(run.ending)}};
}

int writeRunPdf(runs::RunDatabase &records, const runs::RunRecord &run, const QString &output,
                std::FILE *out, std::FILE *err)
{
    ReportInput input;
    // The lens's calibration as it stood when the run began; a damaged one is named, not shown.
    if (auto cam = camTableOfRun(records, run))
        input.cam = std::move(*cam);
    else
        print(err, QStringLiteral("velmaro-report: %1; the report goes without its cam table\n")
                       .arg(QString::fromStdString(cam.error())));
    input.complete = readLog(run.complete, QStringLiteral("Log Complete.txt"));
    input.errors = readLog(run.errors, QStringLiteral("Log Errors.txt"));
    input.about = aboutRun(run);
    QSaveFile pdf(output);
    if (!pdf.open(QIODevice::WriteOnly) || !writePdf(input, pdf) || !pdf.commit()) {
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

// A record to give its lens serial: what it is called, whether a database holds it, and the giving.
struct SerialTarget
{
    QString kind; // "Run", "Cam table"
    std::function<bool(runs::RunDatabase &)> heldBy;
    std::function<base::Status(runs::RunDatabase &)> give;
};

// The serial goes to the station's record, and from there through the outbox; a record of
// another station is given its serial in the plant itself.
int giveSerial(const SerialTarget &target, const QString &id, const QString &serial,
               std::unique_ptr<runs::RunDatabase> records, bool fromPlant,
               const QString &plantAddress, std::FILE *out, std::FILE *err)
{
    std::unique_ptr<runs::RunDatabase> ownStation;
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
    print(out, QStringLiteral("%1 %2 has the lens serial %3.\n").arg(target.kind, id, serial));
    const bool viaOutbox = ownStation != nullptr || (!fromPlant && !plantAddress.isEmpty());
    if (!viaOutbox)
        return kDone;
    std::unique_ptr<runs::RunDatabase> plant;
    if (fromPlant) {
        plant = std::move(records);
    } else if (auto reached = runs::RunDatabase::openPlant(plantAddress)) {
        plant = std::move(*reached);
    } else {
        print(err, QStringLiteral("velmaro-report: %1; the serial waits in the outbox\n")
                       .arg(QString::fromStdString(reached.error())));
    }
    if (plant)
        if (auto sent = runs::sendWaiting(*into, *plant); !sent)
            print(err, QStringLiteral("velmaro-report: %1; the serial waits in the outbox\n")
                           .arg(QString::fromStdString(sent.error())));
    return kDone;
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
    "  --sync                                             sends the waiting records to the plant\n"
    "  --lens [SERIAL|none]                               the lens now on this station: shows,\n"
    "                                                     sets or clears it\n"
    "  --cams [--serial S] [--station H] [--since DATE]   one line per kept cam table\n"
    "  --cam-record ID|latest -o FILE                     writes the kept table's bytes\n"
    "  --cam-record ID|latest --serial S                  gives the table its lens serial\n"
    "  --cam-record ID|latest --check                     checks the table (exit 0 or 1)\n"
    "  --cam-diff ID1 ID2                                 the rows that differ (exit 0 or 1)\n"
    "  --local                                            reads this station's own records\n";

bool asksForRecords(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1))
        for (const char *option : {"--runs", "--run", "--history", "--sync", "--lens", "--cams",
                                   "--cam-record", "--cam-diff"})
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
    const QCommandLineOption lens(QStringLiteral("lens"),
                                  QStringLiteral("The lens on this station: SERIAL, none, or "
                                                 "nothing to show it."));
    const QCommandLineOption cams(QStringLiteral("cams"),
                                  QStringLiteral("Lists the kept cam tables."));
    const QCommandLineOption camRecord(QStringLiteral("cam-record"),
                                       QStringLiteral("The kept cam table ID (or its beginning, "
                                                      "or latest)."),
                                       QStringLiteral("ID"));
    const QCommandLineOption camDiff(QStringLiteral("cam-diff"),
                                     QStringLiteral("Compares the kept cam tables ID1 and ID2."),
                                     QStringLiteral("ID1"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Checks the kept cam table."));
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
    parser.addOptions({list, run, history, sync, lens, cams, camRecord, camDiff, check, serial,
                       station, since, output, local});
    if (!parser.parse(arguments))
        return wrong(err, parser.errorText());
    // Only --lens SERIAL and --cam-diff ID1 ID2 take a word of their own.
    const QStringList words = parser.positionalArguments();
    const qsizetype wordsWanted = parser.isSet(camDiff) ? 1 : parser.isSet(lens) ? words.size() : 0;
    if (words.size() != wordsWanted || words.size() > 1)
        return wrong(
            err,
            words.size() > wordsWanted || words.size() > 1
                ? QStringLiteral("\"%1\" is not wanted with the run records").arg(words.constLast())
                : QStringLiteral("--cam-diff needs two ids"));
    const int commands = int(parser.isSet(list)) + int(parser.isSet(run)) +
                         int(parser.isSet(history)) + int(parser.isSet(sync)) +
                         int(parser.isSet(lens)) + int(parser.isSet(cams)) +
                         int(parser.isSet(camRecord)) + int(parser.isSet(camDiff));
    if (commands != 1)
        return wrong(err, QStringLiteral("give one of --runs, --run, --history, --sync, --lens, "
                                         "--cams, --cam-record and --cam-diff"));
    const auto allowed = [&parser](const QCommandLineOption &option, bool where) {
        return where || !parser.isSet(option);
    };
    const bool settingSerial =
        (parser.isSet(run) || parser.isSet(camRecord)) && parser.isSet(serial);
    const bool listing = parser.isSet(list) || parser.isSet(cams);
    if (!allowed(station, listing))
        return wrong(err, QStringLiteral("--station goes with --runs or --cams"));
    if (!allowed(serial, listing || parser.isSet(run) || parser.isSet(camRecord)))
        return wrong(err,
                     QStringLiteral("--serial goes with --runs, --run, --cams or --cam-record"));
    if (!allowed(since, listing || parser.isSet(history)))
        return wrong(err, QStringLiteral("--since goes with --runs, --cams or --history"));
    if (!allowed(check, parser.isSet(camRecord) && !settingSerial))
        return wrong(err, QStringLiteral("--check goes with --cam-record ID"));
    if (!allowed(output, (parser.isSet(run) && !settingSerial) || parser.isSet(history) ||
                             (parser.isSet(camRecord) && !settingSerial && !parser.isSet(check))))
        return wrong(err, QStringLiteral("-o goes with --run ID, --cam-record ID or --history"));
    if (parser.isSet(camRecord) && !settingSerial && !parser.isSet(check) && !parser.isSet(output))
        return wrong(err, QStringLiteral("--cam-record ID needs -o FILE, --serial S or --check"));
    if (!allowed(local, !parser.isSet(lens)))
        return wrong(err, QStringLiteral("--lens is always this station's own"));
    std::optional<QDateTime> from;
    if (parser.isSet(since) && !(from = readSince(parser.value(since))))
        return wrong(
            err,
            QStringLiteral("--since \"%1\" is not a date (YYYY-MM-DD)").arg(parser.value(since)));
    if (settingSerial)
        if (auto valid = runs::checkSerial(parser.value(serial)); !valid)
            return wrong(err,
                         QStringLiteral("--serial: %1").arg(QString::fromStdString(valid.error())));

    if (parser.isSet(lens))
        return lensCommand(words.isEmpty() ? std::optional<QString>() : words.constFirst(), out,
                           err);

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
        print(out, QStringLiteral("%1 record(s) sent to %2; none waiting.\n")
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

    if (parser.isSet(cams))
        return listCams(
            records, {parser.value(serial), parser.value(station), from.value_or(QDateTime()), {}},
            out, err);
    if (parser.isSet(camDiff))
        return diffCamRecords(records, parser.value(camDiff), words.constFirst(), out, err);
    if (parser.isSet(camRecord) && parser.isSet(check))
        return checkCamRecord(records, parser.value(camRecord), out, err);
    if (parser.isSet(camRecord) && !settingSerial)
        return writeCamRecord(records, parser.value(camRecord), parser.value(output), out, err);

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

    if (parser.isSet(camRecord)) {
        auto found = records.findCamRecord(parser.value(camRecord));
        if (!found)
            return cannot(err, found.error());
        return giveSerial(
            {QStringLiteral("Cam table"),
             [id = found->id](runs::RunDatabase &db) { return db.findCamRecord(id).ok(); },
             [id = found->id, serialText = parser.value(serial)](runs::RunDatabase &db) {
                 return db.setCamSerial(id, serialText);
             }},
            found->id, parser.value(serial), std::move(*opened), fromPlant, plantAddress, out, err);
    }

    auto found = records.find(parser.value(run));
    if (!found)
        return cannot(err, found.error());
    if (!settingSerial) {
        const QString pdf = parser.isSet(output)
                                ? parser.value(output)
                                : QStringLiteral("run-%1.pdf").arg(found->id.left(8));
        return writeRunPdf(records, *found, pdf, out, err);
    }
    return giveSerial({QStringLiteral("Run"),
                       [id = found->id](runs::RunDatabase &db) { return db.find(id).ok(); },
                       [id = found->id, serialText = parser.value(serial)](runs::RunDatabase &db) {
                           return db.setSerial(id, serialText);
                       }},
                      found->id, parser.value(serial), std::move(*opened), fromPlant, plantAddress,
                      out, err);
}

} // namespace report
