#pragma once

#include <memory>
#include <variant>

namespace comm {
class WireTrace;
}

namespace app {

// What the windows start with.
struct Start
{
    std::unique_ptr<comm::WireTrace> trace; // none unless --trace was given
};

// Reads velmaro's command line before any window exists. Options that answer on the terminal
// (--help, --version, --ports) and a wrong command line are dealt with here, without a display,
// and give the exit status; so does a trace file that cannot be opened, so that the program never
// runs without the trace that was asked for. Otherwise gives what to start the windows with.
std::variant<int, Start> runCommandLine(int argc, char *argv[]);

} // namespace app
