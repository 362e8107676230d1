#include "commandline.h"
#include "link/clock.h"
#include "link/qtseriallink.h"
#include "link/systemtone.h"
#include "shell/launcher.h"
#include "shell/updateservices.h"
#include "ui/dialogs.h"
#include "ui/form.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    if (const auto status = app::runCommandLine(argc, argv))
        return *status;

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(ui::windowFont());
    // The launcher knows when the program is over; a hidden window is not the end of it.
    QApplication::setQuitOnLastWindowClosed(false);

    comm::RealClock clock;
    const auto tone = comm::makeSystemTone(clock);
    ui::QtDialogs dialogs;
    shell::Launcher launcher(
        clock, *tone, dialogs, [] { return std::make_unique<comm::QtSerialLink>(); },
        shell::realUpdateServices());
    QObject::connect(&launcher, &shell::Launcher::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    launcher.start();
    return QApplication::exec();
}
