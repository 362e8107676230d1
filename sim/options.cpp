#include "options.h"

#include <QCommandLineParser>

#include <cmath>
#include <functional>

namespace sim {

namespace {
constexpr long kMaxPort = 255;
constexpr long kMaxAlarm = 9;
constexpr long kMaxDelayMs = 3600000;
constexpr long kMaxDropAfterMs = 86400000;
constexpr long kMaxLargeErrorEvery = 1000000;
constexpr long kMaxSeed = 4294967295L;

// Reads the options one by one; the first wrong value is the error, and nothing after it counts.
class Reader
{
public:
    explicit Reader(const QCommandLineParser &parser) : m_parser(parser) {}

    // Done, or the first wrong value.
    [[nodiscard]] const base::Status &status() const { return m_status; }

    void integer(const QCommandLineOption &option, long min, long max,
                 const std::function<void(long)> &store)
    {
        if (!wanted(option))
            return;
        const QString text = m_parser.value(option);
        bool ok = false;
        const long value = text.toLong(&ok);
        if (!ok || value < min || value > max) {
            fail(QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                     .arg(option.names().constFirst())
                     .arg(min)
                     .arg(max)
                     .arg(text));
            return;
        }
        store(value);
    }

    void text(const QCommandLineOption &option, const QString &what, std::string &store)
    {
        if (!wanted(option))
            return;
        const QString value = m_parser.value(option);
        if (value.isEmpty()) {
            fail(QStringLiteral("--%1 wants %2").arg(option.names().constFirst(), what));
            return;
        }
        store = value.toStdString();
    }

    void positive(const QCommandLineOption &option, double &store)
    {
        if (!wanted(option))
            return;
        const QString text = m_parser.value(option);
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value) || value <= 0) {
            fail(QStringLiteral("--%1 wants a positive number, not '%2'")
                     .arg(option.names().constFirst(), text));
            return;
        }
        store = value;
    }

    void flag(const QCommandLineOption &option, bool &store)
    {
        if (wanted(option))
            store = true;
    }

private:
    [[nodiscard]] bool wanted(const QCommandLineOption &option) const
    {
        return m_status.ok() && m_parser.isSet(option);
    }
    void fail(const QString &message)
    {
        m_status = base::fail(base::FailureKind::InvalidInput, message.toStdString());
    }

    const QCommandLineParser &m_parser;
    base::Status m_status;
};

// The simulator's options, in the order the help lists them.
struct Declared
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Displays this help.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    QCommandLineOption portDir{
        QStringLiteral("port-dir"),
        QStringLiteral("Folder for the COM<n> link (default $VELMARO_PORT_DIR)."),
        QStringLiteral("DIR")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Port number 1 to 255 (default 1)."),
                            QStringLiteral("N")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Writes every line received, with its time in seconds and a tab, to FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption notInitialised{
        QStringLiteral("not-initialised"),
        QStringLiteral("The lens is not initialised (init reads 0).")};
    QCommandLineOption alarm{QStringLiteral("alarm"),
                             QStringLiteral("An alarm with error number N (0 to 9) stands."),
                             QStringLiteral("N")};
    QCommandLineOption silent{QStringLiteral("silent"), QStringLiteral("Answers nothing.")};
    QCommandLineOption delay{QStringLiteral("delay"),
                             QStringLiteral("Answers MS milliseconds after each line."),
                             QStringLiteral("MS")};
    QCommandLineOption garbage{QStringLiteral("garbage"),
                               QStringLiteral("Answers random characters.")};
    QCommandLineOption largeErrorEvery{
        QStringLiteral("large-error-every"),
        QStringLiteral("Every Nth axis movement ends with a large position error."),
        QStringLiteral("N")};
    QCommandLineOption dropAfter{
        QStringLiteral("drop-after"),
        QStringLiteral("Goes dead MS after the first line: the link is removed, the simulator "
                       "keeps running."),
        QStringLiteral("MS")};
    QCommandLineOption timeScale{QStringLiteral("time-scale"),
                                 QStringLiteral("Runs every move F times faster (default 1)."),
                                 QStringLiteral("F")};
    QCommandLineOption seed{QStringLiteral("seed"),
                            QStringLiteral("Seed of the position errors (default 1)."),
                            QStringLiteral("N")};
};

// The values of the options given, over the defaults already in `o`.
base::Status readValues(const QCommandLineParser &parser, const Declared &d, Options &o)
{
    Reader read(parser);
    read.text(d.portDir, QStringLiteral("a folder"), o.portDir);
    read.integer(d.port, 1, kMaxPort, [&o](long n) { o.port = static_cast<int>(n); });
    read.text(d.log, QStringLiteral("a file name"), o.logFile);
    read.flag(d.notInitialised, o.faults.notInitialised);
    read.integer(d.alarm, 0, kMaxAlarm, [&o](long n) { o.faults.alarm = static_cast<int>(n); });
    read.flag(d.silent, o.faults.silent);
    read.integer(d.delay, 0, kMaxDelayMs,
                 [&o](long n) { o.faults.replyDelay = platform::Millis(n); });
    read.flag(d.garbage, o.faults.garbage);
    read.integer(d.largeErrorEvery, 0, kMaxLargeErrorEvery,
                 [&o](long n) { o.faults.largeErrorEvery = static_cast<int>(n); });
    read.integer(d.dropAfter, 0, kMaxDropAfterMs,
                 [&o](long n) { o.faults.dropAfter = platform::Millis(n); });
    read.positive(d.timeScale, o.timeScale);
    read.integer(d.seed, 0, kMaxSeed, [&o](long n) { o.seed = static_cast<unsigned>(n); });
    return read.status();
}
} // namespace

base::Result<ParsedOptions> parseOptions(const QStringList &arguments,
                                         const char *portDirFromEnvironment)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the lens controller and its resident program on a pseudo-terminal linked as "
        "<port-dir>/COM<n>, answering the command language in real time until it is stopped "
        "(Ctrl+C or SIGTERM removes the link)."));
    const Declared d;
    parser.addOptions({d.help, d.version, d.portDir, d.port, d.log, d.notInitialised, d.alarm,
                       d.silent, d.delay, d.garbage, d.largeErrorEvery, d.dropAfter, d.timeScale,
                       d.seed});

    ParsedOptions result;
    if (!parser.parse(arguments))
        return base::fail(base::FailureKind::InvalidInput, parser.errorText().toStdString());
    if (parser.isSet(d.help)) {
        result.help = true;
        result.helpText = parser.helpText().toStdString();
        return result;
    }
    if (parser.isSet(d.version)) {
        result.version = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return base::fail(base::FailureKind::InvalidInput,
                          "takes no arguments, was given '" +
                              parser.positionalArguments().join(QLatin1Char(' ')).toStdString() +
                              "'");

    Options &o = result.options;
    if (portDirFromEnvironment)
        o.portDir = portDirFromEnvironment;
    const base::Status read = readValues(parser, d, o);
    if (!read)
        return read.failure();
    if (o.portDir.empty())
        return base::fail(base::FailureKind::InvalidInput,
                          "no port folder: give --port-dir or set VELMARO_PORT_DIR");
    return result;
}

} // namespace sim
