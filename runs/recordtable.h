#pragma once

#include "base/result.h"

#include <QString>
#include <QStringList>

class QSqlQuery;

namespace runs {

class RunDatabase;

// A table of kept records, each with an id, a lens serial and a place in the outbox to the plant:
// the runs and the cam tables.
struct RecordTable
{
    const char *table;  // "runs"
    const char *time;   // the column that orders the records in time
    const char *noun;   // "run", for the messages
    const char *plural; // "run records"
    const char *option; // "--runs", the command that shows the ids
};
inline constexpr RecordTable kRunTable{"runs", "started", "run", "run records", "--runs"};
inline constexpr RecordTable kCamTable{"cam_records", "saved", "cam table", "kept cam tables",
                                       "--cams"};

// The ids that begin with `prefix` (any case), in order, at most `most` of them: a range of the
// id's index, never a record's other columns.
base::Result<QStringList> idsBeginningWith(RunDatabase &database, const RecordTable &table,
                                           const QString &prefix, int most);

// Selects `columns` of one record by its whole id, a unique beginning of it, or "latest" (the
// newest), and leaves `query` on it. No such record, or more than one, is a failure that says so.
base::Status findById(RunDatabase &database, const RecordTable &table, const QString &columns,
                      const QString &idOrLatest, QSqlQuery &query);

// Gives a record its lens serial; at the station that queues it for the plant again.
base::Status setSerial(RunDatabase &database, const RecordTable &table, const QString &id,
                       const QString &serial);

} // namespace runs
