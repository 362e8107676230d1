#pragma once

#include <QStringList>

#include <cstdio>
#include <variant>

namespace report {

// Exit statuses of velmaro-report.
inline constexpr int kDone = 0;
inline constexpr int kCannotWrite = 1; // the PDF could not be written
inline constexpr int kCannotRead = 2;  // an input file could not be read, or a wrong command line

// What to make the report of, and where to put it.
struct Request
{
    QString log;
    QString errors; // empty: none given
    QString cam;    // empty: none given
    QString output;
};

// Reads the command line (arguments[0] is the program). --help, --version and a wrong command
// line are answered here, on `out` or `err`, and give the exit status. Needs only the core
// application, so that these answers need no display.
std::variant<int, Request> readCommandLine(const QStringList &arguments, std::FILE *out,
                                           std::FILE *err);

// Reads the logs and the cam table, writes the PDF and says on `out` where it went, or on `err`
// what went wrong; gives the exit status. Needs a QApplication: Qt Charts draws with the graphics
// view.
int makeReport(const Request &request, std::FILE *out, std::FILE *err);

// Both of the above.
int runReport(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace report
