#include "commandline.h"

#include "link/portcheck.h"
#include "link/portmap.h"
#include "link/tracinglink.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace app {

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Opens the trace before any window, so that a file that cannot be written is told on the
// terminal it was asked from, and the program does not start without it.
std::variant<int, Start> startWith(bool traced, const QString &tracePath)
{
    Start start;
    if (!traced)
        return start;
    if (tracePath.isEmpty()) {
        print(stderr, QStringLiteral("velmaro: --trace needs the name of a file\nTry 'velmaro "
                                     "--help'.\n"));
        return 2;
    }
    auto opened = comm::WireTrace::open(tracePath.toLocal8Bit().toStdString());
    if (!opened) {
        print(stderr, QStringLiteral("velmaro: cannot open the trace file '%1': %2\n")
                          .arg(tracePath, QString::fromStdString(opened.error())));
        return 2;
    }
    start.trace = std::move(opened).value();
    start.trace->remark(QStringLiteral("velmaro %1 started")
                            .arg(QString::fromLatin1(velmaro::kVersionText))
                            .toStdString());
    return start;
}

} // namespace

std::variant<int, Start> runCommandLine(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("velmaro"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(velmaro::kVersionText));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Operator program for the motorised 75 to 500 mm zoom lens and its motion controller.\n"
        "Without options it opens the port selection window, which lists the ports among COM1 "
        "to COM20 that can be opened."));
    // Not addHelpOption(): its --help-all promises Qt's own options, which this program refuses.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption ports(
        QStringLiteral("ports"),
        QStringLiteral("Lists COM%1 to COM%2: where each leads on this machine and whether it can "
                       "be used, and if not, why. Exits with 0 when at least one port is usable, "
                       "1 otherwise.")
            .arg(comm::kFirstPort)
            .arg(comm::kLastPort));
    parser.addOption(ports);
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Appends every line sent to the controller and every answer received, each "
                       "with its time to the millisecond and its direction (-> sent, <- "
                       "received), to FILE."),
        QStringLiteral("FILE"));
    parser.addOption(trace);

    if (!parser.parse(arguments)) {
        print(stderr,
              QStringLiteral("velmaro: %1\nTry 'velmaro --help'.\n").arg(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("velmaro: takes no arguments, was given '%1'\nTry "
                                     "'velmaro --help'.\n")
                          .arg(parser.positionalArguments().join(QLatin1Char(' '))));
        return 2;
    }
    if (!parser.isSet(help) && !parser.isSet(version) && !parser.isSet(ports))
        return startWith(parser.isSet(trace), parser.value(trace));

    // The terminal answers need no display, only the core application (the port's notifiers).
    QCoreApplication core(argc, argv);
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                    QCoreApplication::applicationVersion()));
        return 0;
    }
    const comm::PortsReport report = comm::reportPorts(comm::kFirstPort, comm::kLastPort);
    print(stdout, report.text);
    return report.usable > 0 ? 0 : 1;
}

} // namespace app
