#pragma once

#include "runs/rundatabase.h"
#include "runs/runfilter.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QCommandLineParser;

// velmaro-report's command line, read in one place: every option it knows, which command each
// goes with, and the help.
namespace report {

// Exit statuses of velmaro-report.
inline constexpr int kDone = 0;
inline constexpr int kCannotWrite = 1; // the PDF could not be written
inline constexpr int kCannotRead = 2;  // an input file could not be read, or a wrong command line

struct Command;

// What the command line asks for. Fields a command does not take stay empty.
struct CommandLine
{
    const Command *command = nullptr; // its row in commandTable()
    QString log;                      // LOG_COMPLETE
    QString errors;                   // empty: none given
    QString cam;                      // empty: none given
    QString output;                   // -o; empty: the command's own default
    QString run;                      // the ID given to --run
    QString serial;                   // --serial, checked to be a lens serial where it gives one
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

using Records = std::unique_ptr<runs::RunDatabase>;

// What a command reads before its function begins.
enum class Reads {
    Files,         // the files the line names, which its function reads
    StoredRecords, // the stored records the line chooses (openRecords), handed to its function
    Station,       // this station's own records (and the plant's), which its function opens
};

// One command of velmaro-report: how the line asks for it, what goes with it, and what carries it
// out. A new command is a row of commandTable() and its function.
struct Command
{
    const char *flag = nullptr; // the option that asks for it; none: the report of LOG_COMPLETE
    const char *with = nullptr; // where commands share a flag, the option that tells this one apart
    QStringList options;        // the others it takes
    qsizetype minWords = 0, maxWords = 0; // words of its own on the line
    const char *fewerWords = nullptr;     // what is said when they are too few
    Reads reads = Reads::Files;
    const char *usage = nullptr, *help = nullptr; // its lines in the help; none: Qt's own
    int (*function)(const CommandLine &line, Records records, std::FILE *out,
                    std::FILE *err) = nullptr;
    // Reads what is the command's own from the line: gives what is wrong with it.
    std::optional<QString> (*finish)(CommandLine &line, const QCommandLineParser &parser) = nullptr;
};

// Every command, in the order of the help.
const std::vector<Command> &commandTable();

// Reads the command line (arguments[0] is the program). --help, --version and a wrong command
// line are answered here, on `out` or `err`, and give the exit status. Needs only the core
// application, so that these answers need no display.
std::variant<int, CommandLine> readCommandLine(const QStringList &arguments, std::FILE *out,
                                               std::FILE *err);

// The commands' way of answering: text as it is on `out`, "velmaro-report: <what>" on `err`.
void print(std::FILE *stream, const QString &text);
int fail(std::FILE *err, const QString &what, int status = kCannotRead);

} // namespace report
