#include "commands.h"

#include "runs/camrecord.h"

#include <QCommandLineParser>

namespace report {

namespace {

// --serial S gives the record its serial: it chooses no runs, and must be a lens serial.
std::optional<QString> serialToGive(CommandLine &line, const QCommandLineParser &)
{
    line.filter.serial.clear();
    if (auto valid = runs::checkSerial(line.serial); !valid)
        return QStringLiteral("--serial: %1").arg(QString::fromStdString(valid.error()));
    return std::nullopt;
}

const QStringList kFilters{"serial", "station", "since",  "operator", "verdict", "until",
                           "axis",   "tests",   "ending", "week",     "csv",     "local"};

const std::vector<Command> kCommands{
    {.options = {"errors", "cam", "output"},
     .minWords = 1,
     .maxWords = 1,
     .fewerWords = "give one LOG_COMPLETE",
     .reads = Reads::Files,
     .function = &reportCommand,
     .finish =
         [](CommandLine &line, const QCommandLineParser &parser) {
             line.log = parser.positionalArguments().constFirst();
             return std::optional<QString>();
         }},
    {.flag = "runs",
     .options = kFilters,
     .reads = Reads::StoredRecords,
     .usage = "--runs [FILTERS] [--csv]",
     .help = "one line per stored run, or CSV",
     .function = &runsCommand},
    {.flag = "run",
     .options = {"output", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--run ID|latest [-o OUT.pdf]",
     .help = "the report of a stored run",
     .function = &runReportCommand},
    {.flag = "run",
     .with = "serial",
     .options = {"serial", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--run ID|latest --serial S",
     .help = "gives the run its lens serial",
     .function = &runSerialCommand,
     .finish = &serialToGive},
    {.flag = "history",
     .options = {"since", "output", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--history [--since DATE] [-o OUT.pdf]",
     .help = "runs per day and station, yield per week",
     .function = &historyCommand},
    {.flag = "sync",
     .options = {"local"},
     .reads = Reads::Station,
     .usage = "--sync",
     .help = "sends the waiting records to the plant",
     .function = &syncCommand},
    {.flag = "lens",
     .options = {},
     .maxWords = 1,
     .reads = Reads::Station,
     .usage = "--lens [SERIAL|none]",
     .help = "the lens on this station: shown, set or cleared",
     .function = &lensCommand,
     .finish =
         [](CommandLine &line, const QCommandLineParser &parser) {
             if (parser.positionalArguments().isEmpty())
                 return std::optional<QString>();
             line.lens = parser.positionalArguments().constFirst();
             if (auto valid = runs::checkSerial(*line.lens);
                 !valid && *line.lens != QLatin1String("none"))
                 return std::optional(
                     QStringLiteral("--lens: %1").arg(QString::fromStdString(valid.error())));
             return std::optional<QString>();
         }},
    {.flag = "cams",
     .options = {"serial", "station", "since", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--cams [--serial S] [--station H] [--since DATE]",
     .help = "one line per kept cam table",
     .function = &camsCommand},
    {.flag = "cam-record",
     .options = {"output", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--cam-record ID|latest -o FILE",
     .help = "writes the kept table's bytes",
     .function = &camWriteCommand,
     .finish =
         [](CommandLine &, const QCommandLineParser &parser) {
             if (parser.isSet(QStringLiteral("output")))
                 return std::optional<QString>();
             return std::optional(
                 QStringLiteral("--cam-record ID needs -o FILE, --serial S or --check"));
         }},
    {.flag = "cam-record",
     .with = "serial",
     .options = {"serial", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--cam-record ID|latest --serial S",
     .help = "gives the table its lens serial",
     .function = &camSerialCommand,
     .finish = &serialToGive},
    {.flag = "cam-record",
     .with = "check",
     .options = {"check", "local"},
     .reads = Reads::StoredRecords,
     .usage = "--cam-record ID|latest --check",
     .help = "checks the table (exit 0 or 1)",
     .function = &camCheckCommand},
    {.flag = "cam-diff",
     .options = {"local"},
     .minWords = 1,
     .maxWords = 1,
     .fewerWords = "--cam-diff needs two ids",
     .reads = Reads::StoredRecords,
     .usage = "--cam-diff ID1 ID2",
     .help = "the rows that differ (exit 0 or 1)",
     .function = &camDiffCommand,
     .finish =
         [](CommandLine &line, const QCommandLineParser &parser) {
             line.otherCamRecord = parser.positionalArguments().constFirst();
             return std::optional<QString>();
         }},
    {.flag = "quality",
     .options = kFilters,
     .reads = Reads::StoredRecords,
     .usage = "--quality [FILTERS] [--csv]",
     .help = "runs, lenses and yields per week and station;\n"
             "failures by axis and test, and by ending",
     .function = &qualityCommand},
};

} // namespace

const std::vector<Command> &commandTable()
{
    return kCommands;
}

int carryOut(const CommandLine &line, std::FILE *out, std::FILE *err)
{
    Records records;
    if (line.command->reads == Reads::StoredRecords) {
        auto opened = openRecords(line, err);
        if (!opened)
            return fail(err, QString::fromStdString(opened.error()));
        records = std::move(*opened);
    }
    return line.command->function(line, std::move(records), out, err);
}

int runCommandLine(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    const auto line = readCommandLine(arguments, out, err);
    if (const int *status = std::get_if<int>(&line))
        return *status;
    return carryOut(std::get<CommandLine>(line), out, err);
}

} // namespace report
