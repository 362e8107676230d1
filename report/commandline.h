#pragma once

#include "runs/runfilter.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <variant>

// velmaro-report's command line, read in one place: every option it knows, which command each
// goes with, and the help.
namespace report {

// Exit statuses of velmaro-report.
inline constexpr int kDone = 0;
inline constexpr int kCannotWrite = 1; // the PDF could not be written
inline constexpr int kCannotRead = 2;  // an input file could not be read, or a wrong command line

// A new command: its value here, its row and options in commandline.cpp, its function in
// commands.h and commands.cpp.
enum class Command {
    Report,    // LOG_COMPLETE [--errors LOG_ERRORS] [--cam CAM_TABLE] [-o OUT.pdf]
    Runs,      // --runs [FILTERS] [--csv]
    RunReport, // --run ID|latest [-o OUT.pdf]
    RunSerial, // --run ID|latest --serial S
    History,   // --history [--since DATE] [-o OUT.pdf]
    Sync,      // --sync
    Lens,      // --lens [SERIAL|none]
    Cams,      // --cams [--serial S] [--station H] [--since DATE]
    CamWrite,  // --cam-record ID|latest -o FILE
    CamSerial, // --cam-record ID|latest --serial S
    CamCheck,  // --cam-record ID|latest --check
    CamDiff,   // --cam-diff ID1 ID2
    Quality,   // --quality [FILTERS] [--csv]
};

// What the command line asks for. Fields a command does not take stay empty.
struct CommandLine
{
    Command command = Command::Report;
    QString log;                 // LOG_COMPLETE
    QString errors;              // empty: none given
    QString cam;                 // empty: none given
    QString output;              // -o; empty: the command's own default
    QString run;                 // the ID given to --run
    QString serial;              // --serial, checked to be a lens serial where it gives one
    QString camRecord;           // the ID given to --cam-record, or the first one to --cam-diff
    QString otherCamRecord;      // the second ID of --cam-diff
    std::optional<QString> lens; // --lens SERIAL or none; empty: --lens alone
    QString station;             // --station
    QDateTime since;             // --since, in UTC; invalid: none given
    // --serial, --station, --operator, --verdict, --since and --until, for the commands that
    // choose runs (--history takes --since alone).
    runs::RunFilter filter;
    bool csv = false;
    bool local = false;
};

// Reads the command line (arguments[0] is the program). --help, --version and a wrong command
// line are answered here, on `out` or `err`, and give the exit status. Needs only the core
// application, so that these answers need no display.
std::variant<int, CommandLine> readCommandLine(const QStringList &arguments, std::FILE *out,
                                               std::FILE *err);

// The commands' way of answering: text as it is on `out`, "velmaro-report: <what>" on `err`.
void print(std::FILE *stream, const QString &text);
int fail(std::FILE *err, const QString &what, int status = kCannotRead);

} // namespace report
