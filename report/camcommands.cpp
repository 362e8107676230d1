#include "commands.h"

#include "camtable/camcheck.h"
#include "lens/presets.h"
#include "runs/camstore.h"
#include "runs/connection.h"
#include "runs/localtime.h"
#include "runs/rundatabase.h"
#include "runs/stationsettings.h"

#include <QSaveFile>

namespace report {

namespace {

using camtable::CamCheck;
using camtable::CamDifference;
using camtable::CamJump;
using camtable::CamPoint;
using camtable::CamStep;
using camtable::CamTable;
using camtable::camTableFromBytes;
using runs::localTime;

// As diff: the tables differ, or the check found what keeps a table from passing.
constexpr int kFound = 1;

int cannot(std::FILE *err, const std::string &why)
{
    return fail(err, QString::fromStdString(why));
}

QString position(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 15) : QStringLiteral("-");
}

QString signedSteps(double steps)
{
    return (steps > 0 ? QStringLiteral("+") : QString()) + QString::number(steps, 'g', 15);
}

QString rowName(int row)
{
    return QStringLiteral("%1 mm (row %2)").arg(lens::focalLengthOfRow(row)).arg(row);
}

QString stepText(const CamStep &step)
{
    return QStringLiteral("from %1 at %2 to %3 at %4 (%5)")
        .arg(position(step.before), rowName(step.from), position(step.after), rowName(step.to),
             signedSteps(step.size()));
}

// The records and the kept table the command line names (--cam-record ID|latest).
struct Named
{
    Records records;
    runs::CamRecord record;
};

base::Result<Named> namedTable(const CommandLine &line, Records records)
{
    auto found = runs::CamStore(*records).find(line.camRecord);
    if (!found)
        return found.failure();
    return Named{std::move(records), std::move(*found)};
}

// The table of a kept record, read as the report reads the file.
base::Result<CamTable> tableOf(const runs::CamRecord &record)
{
    return camTableFromBytes(record.bytes, QStringLiteral("cam table %1").arg(record.id));
}

QString checkText(const runs::CamRecord &record, const CamTable &table, const CamCheck &check)
{
    QString text = QStringLiteral("Cam table %1, saved %2 at %3 by %4, lens %5\n")
                       .arg(record.id, localTime(record.saved), record.station, record.operatorName,
                            record.serial.isEmpty() ? QStringLiteral("not given") : record.serial);
    QStringList missing;
    for (const CamPoint &point : table.points)
        if (!point.zoom1)
            missing << QStringLiteral("%1 mm").arg(point.focalLength);
    text += QStringLiteral("Rows recorded: %1 of %2%3\n")
                .arg(check.recorded)
                .arg(table.points.size())
                .arg(missing.isEmpty() ? QString()
                                       : QStringLiteral(" (not recorded: %1)")
                                             .arg(missing.join(QStringLiteral(", "))));
    for (const runlog::Unreadable &cell : table.unreadable)
        text += QStringLiteral("Not a number: %1: \"%2\"\n").arg(cell.why, cell.text);
    for (const int zoom : {1, 2}) {
        const QString heading = zoom == 1 ? QStringLiteral("Zoom 1 turns back")
                                          : QStringLiteral("Zoom 2 turns (information only)");
        int count = 0;
        for (const CamStep &turn : check.turns)
            if (turn.zoom == zoom) {
                text += QStringLiteral("%1 %2\n").arg(heading, stepText(turn));
                ++count;
            }
        if (count == 0)
            text += zoom == 1 ? QStringLiteral("Zoom 1 runs one way\n")
                              : QStringLiteral("Zoom 2 does not turn\n");
    }
    for (const auto &largest : check.largest)
        if (largest)
            text += QStringLiteral("Largest step of Zoom %1: %2\n")
                        .arg(largest->zoom)
                        .arg(stepText(*largest));
    for (const CamJump &jump : check.jumps)
        text += QStringLiteral("Jump: Zoom %1 at %2 steps %3 per row, more than three times its "
                               "median step %4\n")
                    .arg(jump.zoom)
                    .arg(rowName(jump.row))
                    .arg(jump.step, 0, 'f', 1)
                    .arg(jump.medianStep, 0, 'f', 1);
    if (check.jumps.empty())
        text += QStringLiteral("No row jumps\n");
    text += check.passes() ? QStringLiteral("The table passes\n")
                           : QStringLiteral("The table does not pass\n");
    return text;
}

} // namespace

int camsCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto found = runs::CamStore(*records).list({line.serial, line.station, line.since, {}});
    if (!found)
        return cannot(err, found.error());
    for (const runs::CamRecord &record : *found)
        print(out, QStringLiteral("%1  %2  %3  %4  %5  %6 of 86\n")
                       .arg(record.id.left(8), localTime(record.saved),
                            record.station.leftJustified(12), record.operatorName.leftJustified(10),
                            (record.serial.isEmpty() ? QStringLiteral("-") : record.serial)
                                .leftJustified(10))
                       .arg(record.rowsRecorded, 2));
    print(out, QStringLiteral("%1 cam table(s) in %2\n").arg(found->size()).arg(records->name()));
    return kDone;
}

int camWriteCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto named = namedTable(line, std::move(records));
    if (!named)
        return cannot(err, named.error());
    runs::CamRecord *found = &named->record;
    // Written beside the target and renamed over it: the file is whole or as it was.
    QSaveFile file(line.output);
    if (!file.open(QIODevice::WriteOnly) || file.write(found->bytes) != found->bytes.size() ||
        !file.commit())
        return fail(err,
                    QStringLiteral("cannot write the cam table to \"%1\": %2")
                        .arg(line.output, file.errorString()),
                    kCannotWrite);
    print(out, QStringLiteral("Cam table %1 written to %2\n").arg(found->id, line.output));
    return kDone;
}

int camSerialCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto named = namedTable(line, std::move(records));
    if (!named)
        return cannot(err, named.error());
    runs::CamRecord *found = &named->record;
    const QString id = found->id;
    return giveSerial({QStringLiteral("Cam table"), id,
                       [id](runs::RunDatabase &db) { return runs::CamStore(db).find(id).ok(); },
                       [id, &line](runs::RunDatabase &db) {
                           return runs::CamStore(db).setSerial(id, line.serial);
                       }},
                      line, std::move(named->records), out, err);
}

int camCheckCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    auto named = namedTable(line, std::move(records));
    if (!named)
        return cannot(err, named.error());
    runs::CamRecord *found = &named->record;
    auto table = tableOf(*found);
    if (!table)
        return cannot(err, table.error());
    const CamCheck check = checkCam(*table);
    print(out, checkText(*found, *table, check));
    return check.passes() ? kDone : kFound;
}

int camDiffCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err)
{
    std::array<CamTable, 2> tables;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        auto found = runs::CamStore(*records).find(i == 0 ? line.camRecord : line.otherCamRecord);
        if (!found)
            return cannot(err, found.error());
        auto table = tableOf(*found);
        if (!table)
            return cannot(err, table.error());
        tables.at(i) = std::move(*table);
    }
    const std::vector<CamDifference> differences = camDifferences(tables[0], tables[1]);
    for (const CamDifference &row : differences) {
        QString text = QStringLiteral("%1 mm  %2;%3  %4;%5")
                           .arg(row.focalLength, 3)
                           .arg(position(row.first.zoom1), position(row.first.zoom2),
                                position(row.second.zoom1), position(row.second.zoom2));
        for (std::size_t zoom = 0; zoom < 2; ++zoom)
            text += QStringLiteral("  Zoom %1 %2")
                        .arg(zoom + 1)
                        .arg(row.change.at(zoom) ? signedSteps(*row.change.at(zoom))
                                                 : QStringLiteral("-"));
        print(out, text + u'\n');
    }
    return differences.empty() ? kDone : kFound;
}

int lensCommand(const CommandLine &line, Records, std::FILE *out, std::FILE *err)
{
    // The lens belongs to this station whatever plant it reports to.
    auto opened = runs::RunDatabase::openStation(runs::stationDatabasePath());
    if (!opened)
        return cannot(err, opened.error());
    runs::RunDatabase &station = **opened;
    if (line.lens) {
        const bool clearing = *line.lens == QLatin1String("none");
        if (auto set = runs::StationSettings(station).setLens(clearing ? QString() : *line.lens);
            !set)
            return cannot(err, set.error());
        print(out, clearing ? QStringLiteral("No lens is set on this station now.\n")
                            : QStringLiteral("The lens %1 is on this station now: runs and cam "
                                             "tables kept from now on get its serial.\n")
                                  .arg(*line.lens));
        return kDone;
    }
    auto lens = runs::StationSettings(station).lens();
    if (!lens)
        return cannot(err, lens.error());
    print(out, lens->isEmpty() ? QStringLiteral("none\n") : *lens + u'\n');
    return kDone;
}

} // namespace report
