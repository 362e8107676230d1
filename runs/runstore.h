#pragma once

#include "runfilter.h"
#include "runrecord.h"

#include "base/result.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace runs {

class RunDatabase;

// The runs, at the station or at the plant.
class RunStore
{
public:
    explicit RunStore(RunDatabase &database) : m_database(database) {}

    // Stores a run at the station, or replaces it. The plant keeps the first copy of a run and
    // takes only a changed serial from a later one, so a second send changes nothing.
    base::Status put(const RunRecord &record);
    // Whether a run with logs of this digest is stored.
    base::Result<bool> hasLogs(const QByteArray &digest);
    // The runs, oldest first, without their logs.
    base::Result<std::vector<RunRecord>> list(const RunFilter &filter);
    // One page of runs, newest first, without their logs, and the count of all; from page 1.
    base::Result<RunPage> page(const RunFilter &filter, int page, int perPage);
    // Each station's newest run, without its logs, by station.
    base::Result<std::vector<RunRecord>> lastRunPerStation();
    // Changes when a run is added, replaced or given a serial: the count of such changes and the
    // latest start.
    base::Result<QString> changeMark();
    enum class Logs { With, Without };
    // A run, with its logs or without, by its id, a unique beginning of it, or "latest".
    base::Result<RunRecord> find(const QString &idOrLatest, Logs logs = Logs::With);
    // One log of the run with this whole id as it is stored, packed ("Log Complete.txt", else
    // "Log Errors.txt"); LogUnpacker unpacks it. Its length unpacked, from its first bytes alone.
    base::Result<QByteArray> packedLog(const QString &id, bool complete);
    base::Result<qint64> logLength(const QString &id, bool complete);
    // Gives a run its lens serial (and, at the station, queues it for the plant).
    base::Status setSerial(const QString &id, const QString &serial);

private:
    // Makes a change to the run with this whole id, and to the quality figures' summary of it.
    base::Status changing(const QString &id, const std::function<base::Status()> &change);
    base::Status write(const RunRecord &record);
    // The value of `expression` (of the columns of the run with this whole id).
    base::Result<QByteArray> logValue(const QString &id, const QString &expression);
    base::Result<RunRecord> read(QSqlQuery &query, bool withLogs) const;
    // Every row of a query of the summary columns, as runs.
    base::Result<std::vector<RunRecord>> readAll(QSqlQuery &query) const;

    RunDatabase &m_database;
};

} // namespace runs
