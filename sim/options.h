#pragma once

#include "faults.h"

#include "base/result.h"

#include <QStringList>

#include <string>

namespace sim {

// What the simulator executable is told on its command line.
struct Options
{
    std::string portDir;
    int port = 1;
    std::string logFile;
    Faults faults;
    double timeScale = 1.0;
    unsigned seed = 1;
};

struct ParsedOptions
{
    Options options;
    bool help = false;
    bool version = false;
    std::string helpText; // the --help text, one entry per option
};

// Parses the command line as QCoreApplication::arguments() gives it, the program first.
// `portDirFromEnvironment` is $VELMARO_PORT_DIR or null; --port-dir wins over it. Options take
// their value as the next argument or after '=' ("--port 3", "--port=3"). A wrong command line
// gives what is wrong with it.
base::Result<ParsedOptions> parseOptions(const QStringList &arguments,
                                         const char *portDirFromEnvironment);

} // namespace sim
