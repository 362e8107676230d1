#pragma once

#include "camrecord.h"
#include "runrecord.h"

#include "base/result.h"
#include "camtable/camcheck.h"

#include <QString>

#include <optional>
#include <vector>

namespace runs {

class RunDatabase;

// The kept cam tables, in the same database as the runs.
class CamStore
{
public:
    explicit CamStore(RunDatabase &database) : m_database(database) {}

    // Keeps a saved cam table at the station, unless its bytes are those of the station's latest
    // kept table; gives whether it made a new record.
    base::Result<bool> keep(const CamRecord &record);
    // Stores a kept table; the plant keeps its first copy and takes only a changed serial later.
    base::Status put(const CamRecord &record);
    // The kept tables, newest first, without their bytes.
    base::Result<std::vector<CamRecord>> list(const CamFilter &filter);
    // A kept table with its bytes, by its id, a unique beginning of it, or "latest". A table
    // whose bytes do not match its digest is refused, naming it.
    base::Result<CamRecord> find(const QString &idOrLatest);
    // Gives a table its lens serial (and, at the station, queues it for the plant).
    base::Status setSerial(const QString &id, const QString &serial);
    // The lens's cam table for the report of a stored run: the latest table kept with the run's
    // serial that was saved before the run started; none when there is none.
    base::Result<std::optional<camtable::CamTable>> tableOfRun(const RunRecord &run);

private:
    RunDatabase &m_database;
};

} // namespace runs
