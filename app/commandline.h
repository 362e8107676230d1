#pragma once

#include <optional>

namespace app {

// Reads velmaro's command line before any window exists. Options that answer on the terminal
// (--help, --version, --ports) and a wrong command line are dealt with here, without a display;
// the exit status comes back. No value means: start the windows.
std::optional<int> runCommandLine(int argc, char *argv[]);

} // namespace app
