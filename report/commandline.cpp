#include "commandline.h"

#include "quality/filter.h"
#include "version.h"

#include <QCommandLineParser>

#include <algorithm>
#include <utility>

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
    QCommandLineOption axis{QStringLiteral("axis"), {}, QStringLiteral("AXIS")};
    QCommandLineOption tests{QStringLiteral("tests"), {}, QStringLiteral("step|stroke|both")};
    QCommandLineOption ending{QStringLiteral("ending"), {}, QStringLiteral("ENDING")};
    QCommandLineOption week{QStringLiteral("week"), {}, QStringLiteral("YYYY-Www")};
    QCommandLineOption quality{QStringLiteral("quality")};
    QCommandLineOption csv{QStringLiteral("csv")};

    void addTo(QCommandLineParser &parser)
    {
        parser.addOption(help);
        parser.addVersionOption();
        parser.addOptions({errors, cam, output});
        for (QCommandLineOption *hidden :
             {&runs,    &run,  &history,   &sync,    &serial, &station, &since, &local,
              &lens,    &cams, &camRecord, &camDiff, &check,  &quality, &until, &operatorName,
              &verdict, &axis, &tests,     &ending,  &week,   &csv}) {
            hidden->setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(*hidden);
        }
    }
};

// What is said when an option is given with a command that does not take it, in the order the
// line is checked.
const std::pair<const char *, const char *> kPlacements[] = {
    {"station", "--station goes with --runs, --cams or --quality"},
    {"serial", "--serial goes with --runs, --run, --cams, --cam-record or --quality"},
    {"since", "--since goes with --runs, --cams, --history or --quality"},
    {"operator", "--operator goes with --runs or --quality"},
    {"verdict", "--verdict goes with --runs or --quality"},
    {"until", "--until goes with --runs or --quality"},
    {"axis", "--axis goes with --runs or --quality"},
    {"tests", "--tests goes with --runs or --quality"},
    {"ending", "--ending goes with --runs or --quality"},
    {"week", "--week goes with --runs or --quality"},
    {"csv", "--csv goes with --runs or --quality"},
    {"output", "-o goes with --run ID, --cam-record ID or --history"},
    {"check", "--check goes with --cam-record ID"},
    {"errors", "--errors goes with LOG_COMPLETE"},
    {"cam", "--cam goes with LOG_COMPLETE"},
    {"local", "--local goes with the stored records"},
};

QString recordsHelp()
{
    QString help = QStringLiteral(
        "\nStored runs (velmaro/runs.sqlite in the data folder; with VELMARO_RUNS_DB set, the "
        "plant's\nPostgreSQL database, unless --local is given):\n");
    const auto line = [&help](const QString &usage, const QString &what) {
        QString text = QStringLiteral("  ") + usage.leftJustified(49) + QStringLiteral("  ") + what;
        while (text.endsWith(u' '))
            text.chop(1);
        help += text + u'\n';
    };
    for (const Command &command : commandTable()) {
        if (command.usage == nullptr)
            continue;
        const QStringList lines = QString::fromLatin1(command.help).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i)
            line(i == 0 ? QString::fromLatin1(command.usage) : QString(), lines.at(i));
    }
    line(QStringLiteral("--local"), QStringLiteral("reads this station's own records"));
    line(QStringLiteral("FILTERS: --serial S|none --station H --operator O"), QString());
    line(QStringLiteral("  --verdict pass|fail --since DATE --until DATE"),
         QStringLiteral("any of them; both days included"));
    line(QStringLiteral("  --axis zoom1|zoom2|iris|focus"),
         QStringLiteral("an error above the threshold on it"));
    line(QStringLiteral("  --tests step|stroke|both --week YYYY-Www"), QString());
    line(QStringLiteral("  --ending ENDING"),
         QStringLiteral("as the run list says: completed, ..."));
    return help;
}

QString flagName(const Command &command)
{
    return QStringLiteral("--") + QLatin1String(command.flag);
}

// The command the options name, or the status after saying what is wrong.
std::variant<int, const Command *> commandOf(const QCommandLineParser &parser, std::FILE *err)
{
    const auto wrong = [err](const QString &what) {
        return fail(err, what + QStringLiteral("\nTry 'velmaro-report --help'."));
    };
    // The flags given, each once; the words wanted, as the commands they ask for take them.
    QStringList flags, given;
    const Command *wantsMost = nullptr; // of the words of its own
    qsizetype maxWords = 0;
    for (const Command &command : commandTable()) {
        if (command.flag == nullptr || flags.contains(flagName(command)))
            continue;
        flags << flagName(command);
        if (!parser.isSet(QLatin1String(command.flag)))
            continue;
        given << flagName(command);
        if (wantsMost == nullptr || command.minWords > wantsMost->minWords)
            wantsMost = &command;
        maxWords = std::max(maxWords, command.maxWords);
    }
    const QStringList positional = parser.positionalArguments();
    if (given.empty()) {
        const Command &report = commandTable().front();
        if (positional.size() != report.minWords)
            return wrong(QString::fromLatin1(report.fewerWords));
        return &report;
    }
    if (positional.size() > maxWords)
        return wrong(QStringLiteral("\"%1\" is not wanted with the run records")
                         .arg(positional.at(maxWords)));
    if (positional.size() < wantsMost->minWords)
        return wrong(QString::fromLatin1(wantsMost->fewerWords));
    if (given.size() != 1) {
        const QString last = flags.takeLast();
        return wrong(QStringLiteral("give one of %1 and %2").arg(flags.join(u", "), last));
    }
    // The row of the flag whose telling option is given, else the flag's own.
    const Command *chosen = nullptr;
    for (const Command &command : commandTable()) {
        if (command.flag == nullptr || flagName(command) != given.front())
            continue;
        if (command.with == nullptr && chosen == nullptr)
            chosen = &command;
        else if (command.with != nullptr && parser.isSet(QLatin1String(command.with)))
            return &command;
    }
    return chosen;
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
        print(out, parser.helpText() + recordsHelp());
        return kDone;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(out, QStringLiteral("velmaro-report %1\n").arg(QLatin1String(velmaro::kVersionText)));
        return kDone;
    }
    const auto command = commandOf(parser, err);
    if (const int *status = std::get_if<int>(&command))
        return *status;

    CommandLine line;
    line.command = std::get<const Command *>(command);
    for (const auto &[option, message] : kPlacements)
        if (parser.isSet(QLatin1String(option)) && !line.command->options.contains(option))
            return wrong(QString::fromLatin1(message));
    // The filters read as a page's address reads them.
    const auto filter = quality::readFilter([&](const QString &key) { return parser.value(key); });
    if (!filter)
        return wrong(QStringLiteral("--") + QString::fromStdString(filter.error()));
    line.filter = *filter;
    line.since = filter->since.toUTC();
    line.csv = parser.isSet(options.csv);
    line.serial = parser.value(options.serial);
    line.camRecord =
        parser.value(parser.isSet(options.camDiff) ? options.camDiff : options.camRecord);
    if (line.command->finish != nullptr)
        if (const auto wrongWord = line.command->finish(line, parser))
            return wrong(*wrongWord);
    line.errors = parser.value(options.errors);
    line.cam = parser.value(options.cam);
    line.output = parser.value(options.output);
    line.run = parser.value(options.run);
    line.station = parser.value(options.station);
    line.local = parser.isSet(options.local);
    return line;
}

} // namespace report
