#include "commandline.h"

#include "quality/filter.h"
#include "runs/camrecord.h"
#include "version.h"

#include <QCommandLineParser>

#include <algorithm>
#include <vector>

namespace report {

namespace {

// Every option velmaro-report knows. Those of the stored records are left out of Qt's help: the
// help lists them by command (recordsHelp()).
struct Options
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Displays this help.")};
    QCommandLineOption errors{
        QStringLiteral("errors"),
        QStringLiteral("The run's errors log, checked against the error lines of LOG_COMPLETE."),
        QStringLiteral("LOG_ERRORS")};
    QCommandLineOption cam{QStringLiteral("cam"),
                           QStringLiteral("A cam table file to chart and check."),
                           QStringLiteral("CAM_TABLE")};
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Where the PDF goes; by default beside the log, as <log name>.pdf."),
        QStringLiteral("OUT.pdf")};

    QCommandLineOption runs{QStringLiteral("runs")};
    QCommandLineOption run{QStringLiteral("run"), {}, QStringLiteral("ID")};
    QCommandLineOption history{QStringLiteral("history")};
    QCommandLineOption sync{QStringLiteral("sync")};
    QCommandLineOption serial{QStringLiteral("serial"), {}, QStringLiteral("S")};
    QCommandLineOption station{QStringLiteral("station"), {}, QStringLiteral("H")};
    QCommandLineOption since{QStringLiteral("since"), {}, QStringLiteral("DATE")};
    QCommandLineOption local{QStringLiteral("local")};
    // --lens takes its serial, and --cam-diff its second id, as a word of their own: --lens
    // alone shows the lens.
    QCommandLineOption lens{QStringLiteral("lens")};
    QCommandLineOption cams{QStringLiteral("cams")};
    QCommandLineOption camRecord{QStringLiteral("cam-record"), {}, QStringLiteral("ID")};
    QCommandLineOption camDiff{QStringLiteral("cam-diff"), {}, QStringLiteral("ID1")};
    QCommandLineOption check{QStringLiteral("check")};
    QCommandLineOption until{QStringLiteral("until"), {}, QStringLiteral("DATE")};
    QCommandLineOption operatorName{QStringLiteral("operator"), {}, QStringLiteral("O")};
    QCommandLineOption verdict{QStringLiteral("verdict"), {}, QStringLiteral("pass|fail")};
    QCommandLineOption quality{QStringLiteral("quality")};
    QCommandLineOption csv{QStringLiteral("csv")};

    void addTo(QCommandLineParser &parser)
    {
        parser.addOption(help);
        parser.addVersionOption();
        parser.addOptions({errors, cam, output});
        for (QCommandLineOption *hidden :
             {&runs, &run, &history, &sync, &serial, &station, &since, &local, &lens, &cams,
              &camRecord, &camDiff, &check, &quality, &until, &operatorName, &verdict, &csv}) {
            hidden->setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(*hidden);
        }
    }
};

// Which commands an option goes with, and what is said when it is given with another.
struct Placement
{
    const QCommandLineOption *option;
    std::vector<Command> commands;
    const char *message;
};

std::vector<Placement> placements(const Options &options)
{
    using enum Command;
    return {
        {&options.station,
         {Runs, Cams, Quality},
         "--station goes with --runs, --cams or --quality"},
        {&options.serial,
         {Runs, RunSerial, Cams, CamSerial, Quality},
         "--serial goes with --runs, --run, --cams, --cam-record or --quality"},
        {&options.since,
         {Runs, History, Cams, Quality},
         "--since goes with --runs, --cams, --history or --quality"},
        {&options.operatorName, {Runs, Quality}, "--operator goes with --runs or --quality"},
        {&options.verdict, {Runs, Quality}, "--verdict goes with --runs or --quality"},
        {&options.until, {Runs, Quality}, "--until goes with --runs or --quality"},
        {&options.csv, {Runs, Quality}, "--csv goes with --runs or --quality"},
        {&options.output,
         {Report, RunReport, History, CamWrite},
         "-o goes with --run ID, --cam-record ID or --history"},
        {&options.check, {CamCheck}, "--check goes with --cam-record ID"},
        {&options.errors, {Report}, "--errors goes with LOG_COMPLETE"},
        {&options.cam, {Report}, "--cam goes with LOG_COMPLETE"},
        {&options.local,
         {Runs, RunReport, RunSerial, History, Sync, Cams, CamWrite, CamSerial, CamCheck, CamDiff,
          Quality},
         "--local goes with the stored records"},
    };
}

// The commands on the stored records: the option that asks for each (with, where two commands
// share it, the option that tells them apart) and its line in the help. A new command is a row
// here, its options in Options and placements(), and its function in commands.h.
struct RecordsCommand
{
    const QCommandLineOption *flag;
    const QCommandLineOption *with; // none: the flag alone
    Command command;
    const char *usage;
    const char *help;
};

std::vector<RecordsCommand> recordsCommands(const Options &o)
{
    using enum Command;
    return {
        {&o.runs, nullptr, Runs, "--runs [FILTERS] [--csv]", "one line per stored run, or CSV"},
        {&o.run, nullptr, RunReport, "--run ID|latest [-o OUT.pdf]", "the report of a stored run"},
        {&o.run, &o.serial, RunSerial, "--run ID|latest --serial S",
         "gives the run its lens serial"},
        {&o.history, nullptr, History, "--history [--since DATE] [-o OUT.pdf]",
         "runs per day and station, yield per week"},
        {&o.sync, nullptr, Sync, "--sync", "sends the waiting records to the plant"},
        {&o.lens, nullptr, Lens, "--lens [SERIAL|none]",
         "the lens on this station: shown, set or cleared"},
        {&o.cams, nullptr, Cams, "--cams [--serial S] [--station H] [--since DATE]",
         "one line per kept cam table"},
        {&o.camRecord, nullptr, CamWrite, "--cam-record ID|latest -o FILE",
         "writes the kept table's bytes"},
        {&o.camRecord, &o.serial, CamSerial, "--cam-record ID|latest --serial S",
         "gives the table its lens serial"},
        {&o.camRecord, &o.check, CamCheck, "--cam-record ID|latest --check",
         "checks the table (exit 0 or 1)"},
        {&o.camDiff, nullptr, CamDiff, "--cam-diff ID1 ID2", "the rows that differ (exit 0 or 1)"},
        {&o.quality, nullptr, Quality, "--quality [FILTERS] [--csv]",
         "runs, lenses and yields per week and station;"},
    };
}

QString recordsHelp(const Options &options)
{
    QString help = QStringLiteral(
        "\nStored runs (velmaro/runs.sqlite in the data folder; with VELMARO_RUNS_DB set, the "
        "plant's\nPostgreSQL database, unless --local is given):\n");
    const auto line = [&help](const char *usage, const char *what) {
        QString text = QStringLiteral("  ") + QString::fromLatin1(usage).leftJustified(49) +
                       QStringLiteral("  ") + QString::fromLatin1(what);
        while (text.endsWith(u' '))
            text.chop(1);
        help += text + u'\n';
    };
    for (const RecordsCommand &command : recordsCommands(options))
        line(command.usage, command.help);
    line("", "failures by axis and test, and by ending");
    line("--local", "reads this station's own records");
    line("FILTERS: --serial S --station H --operator O", "");
    line("  --verdict pass|fail --since DATE --until DATE", "any of them; both days included");
    return help;
}

// The command the options name, or the status after saying what is wrong.
std::variant<int, Command> commandOf(const QCommandLineParser &parser, const Options &options,
                                     std::FILE *err)
{
    const std::vector<RecordsCommand> commands = recordsCommands(options);
    std::vector<const QCommandLineOption *> flags, given;
    for (const RecordsCommand &command : commands) {
        if (std::find(flags.begin(), flags.end(), command.flag) != flags.end())
            continue;
        flags.push_back(command.flag);
        if (parser.isSet(*command.flag))
            given.push_back(command.flag);
    }
    const QStringList positional = parser.positionalArguments();
    if (given.empty()) {
        if (positional.size() != 1)
            return fail(err, QStringLiteral("give one LOG_COMPLETE\nTry 'velmaro-report --help'."));
        return Command::Report;
    }
    const auto wrong = [err](const QString &what) {
        return fail(err, what + QStringLiteral("\nTry 'velmaro-report --help'."));
    };
    // Only --lens SERIAL and --cam-diff ID1 ID2 take a word of their own.
    const qsizetype words = parser.isSet(options.camDiff) ? 1
                            : parser.isSet(options.lens) ? std::min<qsizetype>(positional.size(), 1)
                                                         : 0;
    if (positional.size() > words)
        return wrong(
            QStringLiteral("\"%1\" is not wanted with the run records").arg(positional.at(words)));
    if (positional.size() < words)
        return wrong(QStringLiteral("--cam-diff needs two ids"));
    if (given.size() != 1) {
        QStringList names;
        for (const QCommandLineOption *flag : flags)
            names << QStringLiteral("--") + flag->names().constFirst();
        const QString last = names.takeLast();
        return wrong(QStringLiteral("give one of %1 and %2").arg(names.join(u", "), last));
    }
    // The row of the flag whose telling option is given, else the flag's own.
    std::optional<Command> chosen;
    for (const RecordsCommand &command : commands) {
        if (command.flag != given.front())
            continue;
        if (command.with == nullptr && !chosen)
            chosen = command.command;
        else if (command.with != nullptr && parser.isSet(*command.with))
            return command.command;
    }
    return *chosen;
}

} // namespace

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int fail(std::FILE *err, const QString &what, int status)
{
    print(err, QStringLiteral("velmaro-report: %1\n").arg(what));
    return status;
}

std::variant<int, CommandLine> readCommandLine(const QStringList &arguments, std::FILE *out,
                                               std::FILE *err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Turns a running-in log into a PDF report: the run at a glance, the positions reached by "
        "each axis, the position errors over time, and the lines that could not be read. With "
        "--cam it adds the zoom cam table. Exits with 0 when the report was written, 1 when it "
        "could not be written, 2 when a file could not be read."));
    Options options;
    options.addTo(parser);
    parser.addPositionalArgument(QStringLiteral("LOG_COMPLETE"),
                                 QStringLiteral("The run's complete log (\"Log Complete.txt\")."));

    const auto wrong = [err](const QString &what) {
        return fail(err, what + QStringLiteral("\nTry 'velmaro-report --help'."));
    };
    if (!parser.parse(arguments))
        return wrong(parser.errorText());
    if (parser.isSet(options.help)) {
        print(out, parser.helpText() + recordsHelp(options));
        return kDone;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(out, QStringLiteral("velmaro-report %1\n").arg(QLatin1String(velmaro::kVersionText)));
        return kDone;
    }
    const auto command = commandOf(parser, options, err);
    if (const int *status = std::get_if<int>(&command))
        return *status;

    CommandLine line;
    line.command = std::get<Command>(command);
    for (const Placement &placement : placements(options))
        if (parser.isSet(*placement.option) &&
            std::find(placement.commands.begin(), placement.commands.end(), line.command) ==
                placement.commands.end())
            return wrong(QString::fromLatin1(placement.message));
    // The filters read as a page's address reads them; --serial chooses runs only where it is
    // not the serial to give.
    const bool givesSerial =
        line.command == Command::RunSerial || line.command == Command::CamSerial;
    const auto filter = quality::readFilter([&](const QString &key) {
        if (key == QLatin1String("serial") && givesSerial)
            return QString();
        const QCommandLineOption *option = key == QLatin1String("operator")  ? &options.operatorName
                                           : key == QLatin1String("serial")  ? &options.serial
                                           : key == QLatin1String("station") ? &options.station
                                           : key == QLatin1String("verdict") ? &options.verdict
                                           : key == QLatin1String("since")   ? &options.since
                                                                             : &options.until;
        return parser.value(*option);
    });
    if (!filter)
        return wrong(QStringLiteral("--") + QString::fromStdString(filter.error()));
    line.filter = *filter;
    line.since = filter->since.toUTC();
    line.csv = parser.isSet(options.csv);
    line.serial = parser.value(options.serial);
    if (line.command == Command::RunSerial || line.command == Command::CamSerial)
        if (auto valid = runs::checkSerial(line.serial); !valid)
            return wrong(QStringLiteral("--serial: %1").arg(QString::fromStdString(valid.error())));
    if (line.command == Command::CamWrite && !parser.isSet(options.output))
        return wrong(QStringLiteral("--cam-record ID needs -o FILE, --serial S or --check"));
    line.camRecord =
        parser.value(parser.isSet(options.camDiff) ? options.camDiff : options.camRecord);
    if (line.command == Command::CamDiff)
        line.otherCamRecord = parser.positionalArguments().constFirst();
    if (line.command == Command::Lens && !parser.positionalArguments().isEmpty()) {
        line.lens = parser.positionalArguments().constFirst();
        if (auto valid = runs::checkSerial(*line.lens);
            !valid && *line.lens != QLatin1String("none"))
            return wrong(QStringLiteral("--lens: %1").arg(QString::fromStdString(valid.error())));
    }

    if (line.command == Command::Report)
        line.log = parser.positionalArguments().constFirst();
    line.errors = parser.value(options.errors);
    line.cam = parser.value(options.cam);
    line.output = parser.value(options.output);
    line.run = parser.value(options.run);
    line.station = parser.value(options.station);
    line.local = parser.isSet(options.local);
    return line;
}

} // namespace report
