#include "commands.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    report::CommandLine line;
    {
        // --help, --version and a wrong command line are answered by the core application alone.
        const QCoreApplication core(argc, argv);
        auto read = report::readCommandLine(QCoreApplication::arguments(), stdout, stderr);
        if (const int *status = std::get_if<int>(&read))
            return *status;
        line = std::get<report::CommandLine>(std::move(read));
    }
    // The report is drawn, never shown: the offscreen platform needs no display, so the command
    // works the same over ssh, with or without a (perhaps dead) forwarded display. Qt Charts still
    // needs the application object of widgets.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication app(argc, argv);
    return report::carryOut(line, stdout, stderr);
}
