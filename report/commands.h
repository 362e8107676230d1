#pragma once

#include "commandline.h"

#include "base/result.h"

#include <QStringList>

#include <cstdio>
#include <functional>
#include <memory>

// velmaro-report's commands, one function each, called with the records when their row in
// commandTable() reads them: each answers on `out` or `err` and gives the exit status. They need a
// QApplication: Qt Charts draws with the graphics view.
namespace report {

// A log (and the cam table) made into a PDF (reportcommand.cpp).
int reportCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);

// The stored runs (runscommands.cpp): one line each, the report of one, a serial given to one,
// the history, and the outbox sent to the plant.
int runsCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int runReportCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int runSerialCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int historyCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int syncCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
// The quality figures (runscommands.cpp): a table, or CSV.
int qualityCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);

// The kept cam tables and the lens on the station (camcommands.cpp).
int lensCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int camsCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int camWriteCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int camSerialCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int camCheckCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);
int camDiffCommand(const CommandLine &line, Records records, std::FILE *out, std::FILE *err);

// Shared by the commands on stored records (runscommands.cpp). The plant's records when a plant
// is set, unless the line asks for the station's own; what was done to open them that the user
// should know goes to `err`.
base::Result<Records> openRecords(const CommandLine &line, std::FILE *err);

// A record to give its lens serial: what it is called ("Run", "Cam table"), whether a database
// holds it, and the giving.
struct SerialTarget
{
    QString kind;
    QString id;
    std::function<bool(runs::RunDatabase &)> heldBy;
    std::function<base::Status(runs::RunDatabase &)> give;
};

// The serial goes to the station's record, and from there through the outbox; a record of
// another station is given its serial in the plant itself. `records` are those the line opened.
int giveSerial(const SerialTarget &target, const CommandLine &line, Records records, std::FILE *out,
               std::FILE *err);

// The command the line asks for.
int carryOut(const CommandLine &line, std::FILE *out, std::FILE *err);

// Both: the command line read, and what it asks for carried out.
int runCommandLine(const QStringList &arguments, std::FILE *out, std::FILE *err);

} // namespace report
