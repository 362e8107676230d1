// velmaro-sim: the lens controller on a pseudo-terminal, for running the program without the
// hardware. The program finds it as <port-dir>/COM<n>.
#include "controller.h"
#include "options.h"
#include "ptyport.h"

#include "platform/clock.h"
#include "version.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <poll.h>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void requestStop(int)
{
    g_stopRequested = 1;
}

// Short enough that an answer due after a delay leaves within a few milliseconds of its time,
// and that a stop request is noticed at once.
constexpr int kPollTimeoutMs = 2;

void installStopHandlers()
{
    struct sigaction action
    {
    };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int run(const sim::Options &options)
{
    sim::MotionProfile profile;
    profile.timeScale = options.timeScale;
    sim::Controller controller(options.faults, profile, options.seed);
    if (!options.logFile.empty()) {
        if (const base::Status logging = controller.setLogFile(options.logFile); !logging) {
            std::cerr << "velmaro-sim: " << logging.error() << '\n';
            return EXIT_FAILURE;
        }
    }

    sim::PtyPort port;
    if (const base::Status opened = port.open(options.portDir, options.port); !opened) {
        std::cerr << "velmaro-sim: " << opened.error() << '\n';
        return EXIT_FAILURE;
    }
    std::cout << "velmaro-sim: COM" << options.port << " -> " << port.slaveName() << " (link "
              << port.linkPath() << ")" << std::endl;

    platform::RealClock clock;
    while (!g_stopRequested) {
        if (!port.isOpen()) {
            // The line went dead: nothing more to do but wait to be stopped.
            pollfd none{};
            ::poll(&none, 0, kPollTimeoutMs * 50);
            continue;
        }
        pollfd incoming{port.masterFd(), POLLIN, 0};
        const int ready = ::poll(&incoming, 1, kPollTimeoutMs);
        const platform::Millis now = clock.now();
        if (ready > 0 && (incoming.revents & POLLIN) != 0)
            controller.receive(port.read(), now);
        if (controller.linkDropped(now)) {
            port.close();
            std::cerr << "velmaro-sim: COM" << options.port << " went dead as asked\n";
            continue;
        }
        port.write(controller.takeOutput(now));
    }
    port.close();
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char **argv)
{
    // Only for reading the command line; the simulator runs on poll(), without an event loop.
    const QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmaro-sim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(velmaro::kVersionText));
    const auto parsed =
        sim::parseOptions(QCoreApplication::arguments(), std::getenv("VELMARO_PORT_DIR"));
    if (!parsed) {
        std::cerr << "velmaro-sim: " << parsed.error() << "\nTry 'velmaro-sim --help'.\n";
        return 2;
    }
    if (parsed->help) {
        std::cout << parsed->helpText;
        return EXIT_SUCCESS;
    }
    if (parsed->version) {
        std::cout << "velmaro-sim " << QCoreApplication::applicationVersion().toStdString() << '\n';
        return EXIT_SUCCESS;
    }
    installStopHandlers();
    return run(parsed->options);
}
