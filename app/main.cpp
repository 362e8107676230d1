#include "commandline.h"
#include "link/portmap.h"
#include "link/qtseriallink.h"
#include "link/tracinglink.h"
#include "platform/clock.h"
#include "platform/systemtone.h"
#include "runs/connection.h"
#include "runs/rundatabase.h"
#include "runs/runkeeper.h"
#include "shell/launcher.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "update/updateservices.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

#include <string_view>

int main(int argc, char *argv[])
{
    auto command = app::runCommandLine(argc, argv);
    if (const int *status = std::get_if<int>(&command))
        return *status;
    comm::WireTrace *const trace = std::get<app::Start>(command).trace.get();

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(ui::windowFont());
    // The launcher knows when the program is over; a hidden window is not the end of it.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::RealClock clock;
    const auto tone = platform::makeSystemTone(clock);
    ui::QtDialogs dialogs;
    update::UpdateServices updates = update::realUpdateServices();
    // The maker's key belongs to the executable (app/CMakeLists.txt), checked when it was built.
    if (constexpr std::string_view key = VELMARO_UPDATE_PUBLIC_KEY; !key.empty())
        updates.publicKey = update::parsePublicKey(key).value();
    // Every running-in run and every saved cam table is kept. The windows borrow the keeper, so it
    // is declared before the launcher that holds them and outlives them: a run cut short by
    // closing the program is stored before it ends. A run is recorded with the port the main
    // window opened.
    const shell::Launcher *windows = nullptr;
    runs::RunKeeper keeper(runs::KeeperSetup{
        runs::stationDatabasePath(), runs::plantConnection(), QDir::currentPath(),
        runs::stationName(), runs::operatorName(), QString::fromLatin1(velmaro::kVersionText),
        [&windows] {
            const int port = windows != nullptr ? windows->portNumber() : 0;
            return QStringLiteral("%1 (%2)").arg(comm::portName(port), comm::portDevice(port));
        }});
    shell::Launcher launcher(
        clock, *tone, dialogs,
        [trace]() -> std::unique_ptr<comm::SerialLink> {
            auto link = std::make_unique<comm::QtSerialLink>();
            if (trace == nullptr)
                return link;
            return std::make_unique<comm::TracingLink>(std::move(link), *trace);
        },
        std::move(updates));
    windows = &launcher;
    launcher.setRecorder(&keeper);
    launcher.setCamRecorder(&keeper);
    QObject::connect(&launcher, &shell::Launcher::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    launcher.start();
    return QApplication::exec();
}
