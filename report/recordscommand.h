#pragma once

#include <QStringList>

#include <cstdio>

// velmaro-report's commands on the stored run records: --runs, --run, --history and --sync.
namespace report {

// Whether the command line is one of them.
bool asksForRecords(const QStringList &arguments);

// What --help adds for them.
extern const char *const kRecordsHelp;

// Carries it out, answering on `out` or `err`; gives the exit status (2 for a wrong command line,
// an unknown run or a database that cannot be read). Needs a QApplication for the PDFs.
int runRecords(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace report
