#pragma once

#include "commandline.h"

#include <QStringList>

#include <cstdio>

// velmaro-report's commands, one function each: each answers on `out` or `err` and gives the exit
// status. They need a QApplication: Qt Charts draws with the graphics view.
namespace report {

// A log (and the cam table) made into a PDF (reportcommand.cpp).
int reportCommand(const CommandLine &line, std::FILE *out, std::FILE *err);

// The stored runs (runscommands.cpp): one line each, the report of one, a serial given to one,
// the history, and the outbox sent to the plant.
int runsCommand(const CommandLine &line, std::FILE *out, std::FILE *err);
int runReportCommand(const CommandLine &line, std::FILE *out, std::FILE *err);
int runSerialCommand(const CommandLine &line, std::FILE *out, std::FILE *err);
int historyCommand(const CommandLine &line, std::FILE *out, std::FILE *err);
int syncCommand(const CommandLine &line, std::FILE *out, std::FILE *err);

// The command the line asks for.
int carryOut(const CommandLine &line, std::FILE *out, std::FILE *err);

// Both: the command line read, and what it asks for carried out.
int runCommandLine(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace report
