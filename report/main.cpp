#include "recordscommand.h"
#include "reportcommand.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    report::Request request;
    bool records = false;
    {
        // --help and --version answer from the core application alone.
        const QCoreApplication core(argc, argv);
        records = report::asksForRecords(QCoreApplication::arguments());
        if (records && QCoreApplication::arguments().contains(QStringLiteral("--help")))
            records = false; // the one help covers both
    }
    if (!records) {
        const QCoreApplication core(argc, argv);
        const auto read = report::readCommandLine(QCoreApplication::arguments(), stdout, stderr);
        if (const int *status = std::get_if<int>(&read)) {
            const QStringList given = QCoreApplication::arguments();
            if (*status == report::kDone &&
                (given.contains(QStringLiteral("--help")) || given.contains(QStringLiteral("-h"))))
                std::fputs(report::kRecordsHelp, stdout);
            return *status;
        }
        request = std::get<report::Request>(read);
    }
    // The report is drawn, never shown: the offscreen platform needs no display, so the command
    // works the same over ssh, with or without a (perhaps dead) forwarded display. Qt Charts still
    // needs the application object of widgets.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication app(argc, argv);
    if (records)
        return report::runRecords(QCoreApplication::arguments(), stdout, stderr);
    return report::makeReport(request, stdout, stderr);
}
