#include "reportcommand.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The report is drawn, never shown: the offscreen platform needs no display, so the command
    // works the same over ssh, with or without a (perhaps dead) forwarded display. Qt Charts still
    // needs the application object of widgets.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return report::runReport(QApplication::arguments(), stdout, stderr);
}
