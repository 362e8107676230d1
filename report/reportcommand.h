#pragma once

#include <QStringList>

#include <cstdio>

namespace report {

// Exit statuses of velmaro-report.
inline constexpr int kDone = 0;
inline constexpr int kCannotWrite = 1; // the PDF could not be written
inline constexpr int kCannotRead = 2;  // an input file could not be read, or a wrong command line

// The whole command: reads the command line (arguments[0] is the program), the logs and the cam
// table, writes the PDF and says on `out` where it went, or on `err` what went wrong. Needs a
// QApplication: Qt Charts draws with the graphics view.
int runReport(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace report
