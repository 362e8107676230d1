#pragma once

#include "camcheck.h"

#include "runs/camrecord.h"
#include "runs/runrecord.h"

#include <QString>

#include <cstdio>
#include <optional>

namespace runs {
class RunDatabase;
}

// velmaro-report's commands on the kept cam tables. Each answers on `out` or `err` and gives the
// exit status: 2 for an id that is unknown, ambiguous or malformed, or a database that cannot be
// read.
namespace report {

// The lens's cam table for the report of a stored run: the latest table kept with the run's
// serial that was saved before the run started; none when there is none.
base::Result<std::optional<CamTable>> camTableOfRun(runs::RunDatabase &records,
                                                    const runs::RunRecord &run);

// --cams: one line per kept table, newest first.
int listCams(runs::RunDatabase &records, const runs::CamFilter &filter, std::FILE *out,
             std::FILE *err);

// --cam-record ID -o FILE: the kept bytes, written whole or not at all (1 when they cannot be).
int writeCamRecord(runs::RunDatabase &records, const QString &id, const QString &output,
                   std::FILE *out, std::FILE *err);

// --cam-record ID --check: 0 when the table is whole, Zoom 1 runs one way and no row jumps; 1
// otherwise.
int checkCamRecord(runs::RunDatabase &records, const QString &id, std::FILE *out, std::FILE *err);

// --cam-diff ID1 ID2: one line per row that differs; 0 when none does, 1 otherwise.
int diffCamRecords(runs::RunDatabase &records, const QString &first, const QString &second,
                   std::FILE *out, std::FILE *err);

// --lens: shows the lens on this station (none given), sets it (a serial) or clears it ("none").
// A serial that is not one exits with 2, saying why.
int lensCommand(const std::optional<QString> &serial, std::FILE *out, std::FILE *err);

} // namespace report
