#pragma once

#include "faults.h"

#include <string>
#include <vector>

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
    std::string error; // set when the command line is wrong
};

// Parses the arguments (without the program name). `portDirFromEnvironment` is
// $VELMARO_PORT_DIR or null; --port-dir wins over it. Options take their value as the next
// argument or after '=' ("--port 3", "--port=3").
ParsedOptions parseOptions(const std::vector<std::string> &arguments,
                           const char *portDirFromEnvironment);

// The --help text, one line per option.
std::string usage();

} // namespace sim
