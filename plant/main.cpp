// velmaro-plant: the run records as web pages, for the plant's browsers.
#include "server.h"

#include "runs/connection.h"
#include "runs/rundatabase.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>
#include <variant>

namespace {

constexpr int kWrongStart = 2;

int refuse(const QString &why)
{
    std::fprintf(stderr, "velmaro-plant: %s\n", why.toLocal8Bit().constData());
    return kWrongStart;
}

// "HOST:PORT", the host perhaps in brackets ("[::1]:8470").
std::optional<std::pair<QString, int>> readAddress(const QString &text)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 0 || port > 65535 || host.isEmpty())
        return std::nullopt;
    return std::pair{host, port};
}

// Where to listen and whose records to show.
struct Start
{
    std::pair<QString, int> address;
    bool localOnly = false;
    double yieldTarget = plant::Server::kDefaultYieldTarget;
};

// --help, --version and a wrong command line answer from the core application alone, with
// nothing of the display's said on the way: the exit status then, else the start.
std::variant<int, Start> readCommandLine(int &argc, char **argv)
{
    const QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmaro-plant"));
    QCoreApplication::setApplicationVersion(QLatin1String(velmaro::kVersionText));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows the running-in records of a lens plant as web pages: every station now, "
        "every run with its charts and logs, every lens, and the quality figures, with CSV "
        "and JSON for other programs. It reads the plant database named by VELMARO_RUNS_DB "
        "(the environment, then velmaro.conf) as velmaro-report does; without one, or with "
        "--local, this station's own runs.sqlite. It only reads. VELMARO_YIELD_TARGET (the "
        "same way; percent, default 90) is the first-pass yield each station's week should "
        "reach: a week under it is listed under what needs attention."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("The address and port to answer on (default "
                                                   "127.0.0.1:8470; port 0 lets the system "
                                                   "choose)."),
                                    QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:8470"));
    const QCommandLineOption local(QStringLiteral("local"),
                                   QStringLiteral("Shows this station's own records, even with a "
                                                  "plant database set."));
    parser.addOptions({listen, local});
    if (!parser.parse(QCoreApplication::arguments()))
        return refuse(parser.errorText() + QStringLiteral("\nTry 'velmaro-plant --help'."));
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("\"%1\" is not wanted\nTry 'velmaro-plant --help'.")
                          .arg(parser.positionalArguments().constFirst()));
    const auto listenAt = readAddress(parser.value(listen));
    if (!listenAt)
        return refuse(QStringLiteral("--listen '%1' is not HOST:PORT").arg(parser.value(listen)));

    // The first-pass yield a station's week should reach: the environment, then velmaro.conf.
    double yieldTarget = plant::Server::kDefaultYieldTarget;
    if (const QString target = runs::setting("VELMARO_YIELD_TARGET"); !target.isEmpty()) {
        bool number = false;
        yieldTarget = target.toDouble(&number);
        if (!number || yieldTarget < 0 || yieldTarget > 100)
            return refuse(QStringLiteral("VELMARO_YIELD_TARGET '%1' is not a percentage from 0 to "
                                         "100 (the first-pass yield a station's week should "
                                         "reach, e.g. 90)")
                              .arg(target));
    }
    return Start{*listenAt, parser.isSet(local), yieldTarget};
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGINT and SIGTERM wait for one thread of their own, which ends the program in order; every
    // thread started from here on inherits the mask.
    sigset_t endings;
    sigemptyset(&endings);
    sigaddset(&endings, SIGINT);
    sigaddset(&endings, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endings, nullptr);

    // The charts and the PDF are drawn, never shown: no display needed, as for velmaro-report.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No query may hold a page up past its 10 s; the session reads only.
    if (qEnvironmentVariableIsEmpty("PGOPTIONS"))
        qputenv("PGOPTIONS", "-c statement_timeout=8000");
    const auto start = readCommandLine(argc, argv);
    if (const int *status = std::get_if<int>(&start))
        return *status;
    const auto &[address, localOnly, yieldTarget] = std::get<Start>(start);
    QApplication app(argc, argv);

    const QString plant = runs::plantConnection();
    const bool fromPlant = !plant.isEmpty() && !localOnly;
    const QString stationFile = runs::stationDatabasePath();
    plant::Server::Opener open = [fromPlant, plant, stationFile] {
        return fromPlant ? runs::RunDatabase::openPlant(plant)
                         : runs::RunDatabase::openStation(stationFile);
    };
    QString source;
    {
        auto first = open();
        if (!first)
            return refuse(QStringLiteral("cannot read the run records: %1")
                              .arg(QString::fromStdString(first.error())));
        source = (*first)->name();
    }

    plant::Server server(open, yieldTarget);
    const auto bound = server.bind(address.first, address.second);
    if (!bound)
        return refuse(QString::fromStdString(bound.error()));
    const QString shownHost =
        address.first.contains(u':') ? u'[' + address.first + u']' : address.first;
    std::fprintf(stdout, "Listening on http://%s:%d/\n", shownHost.toLocal8Bit().constData(),
                 *bound);
    std::fflush(stdout);
    std::fprintf(stderr, "velmaro-plant: showing %s\n", source.toLocal8Bit().constData());

    std::thread serving([&server] { server.serve(); });
    std::thread ending([&endings, &server, &app] {
        int signal = 0;
        sigwait(&endings, &signal);
        server.stop();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QApplication::exec();
    ending.join();
    serving.join();
    return 0;
}
