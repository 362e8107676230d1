#pragma once

#include "camrecord.h"
#include "connection.h"
#include "runfilter.h"
#include "runqueries.h"
#include "runrecord.h"

#include "base/result.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class QSqlDatabase;
class QSqlQuery;

namespace runs {

struct RunProgress;

// A run waiting in the station's outbox: its id and the revision to send.
struct Waiting
{
    QString id;
    qint64 revision = 0;
};

// The run records in one database through Qt SQL: the station's own SQLite file, or the plant's
// PostgreSQL database. Both have the same versioned schema (schema.h). Opening, and where the
// databases are, is in connection.cpp; the schema's migrations in schema.cpp; the queries in
// rundatabase.cpp. The station's database is also the
// outbox to the plant: every change to a run raises its revision, and a run waits until the
// plant has that revision. An object belongs to the thread that opened it.
class RunDatabase
{
public:
    // Opens (and creates or migrates) the station's file. A file that is not a database, or is
    // damaged, is moved aside as "<path>.damaged-<time>" and a new one started; notice() then
    // says so.
    static base::Result<std::unique_ptr<RunDatabase>> openStation(const QString &path);
    // Opens the plant's database from a connection string: libpq's "host=... dbname=... user=..."
    // or a "postgresql://user@host:port/dbname" address.
    static base::Result<std::unique_ptr<RunDatabase>> openPlant(const QString &connection);

    ~RunDatabase();
    RunDatabase(const RunDatabase &) = delete;
    RunDatabase &operator=(const RunDatabase &) = delete;

    // What was done to open it that the user should know, or empty.
    [[nodiscard]] const QString &notice() const { return m_notice; }
    // "/home/op/.local/share/velmaro/runs.sqlite", "the plant database plant on db.example"
    [[nodiscard]] const QString &name() const { return m_name; }

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
    // The sums the quality figures are made of (quality::compute).
    base::Result<QualityCounts> qualityCounts(const RunFilter &filter);
    // Changes when a run is added or given a serial: the count of runs, the latest start and the
    // sum of the revisions.
    base::Result<QString> changeMark();
    // A run with its logs, by its id, a unique beginning of it, or "latest".
    base::Result<RunRecord> find(const QString &idOrLatest);
    // Gives a run its lens serial (and, at the station, queues it for the plant).
    base::Status setSerial(const QString &id, const QString &serial);

    // The outbox: runs whose newest revision the plant does not have yet, oldest first.
    base::Result<std::vector<Waiting>> waiting();
    base::Status markSent(const Waiting &sent);

    // Keeps a saved cam table at the station, unless its bytes are those of the station's latest
    // kept table; gives whether it made a new record.
    base::Result<bool> keepCamRecord(const CamRecord &record);
    // Stores a kept table; the plant keeps its first copy and takes only a changed serial later.
    base::Status putCamRecord(const CamRecord &record);
    // The kept tables, newest first, without their bytes.
    base::Result<std::vector<CamRecord>> camRecords(const CamFilter &filter);
    // A kept table with its bytes, by its id, a unique beginning of it, or "latest". A table
    // whose bytes do not match its digest is refused, naming it.
    base::Result<CamRecord> findCamRecord(const QString &idOrLatest);
    // Gives a table its lens serial (and, at the station, queues it for the plant).
    base::Status setCamSerial(const QString &id, const QString &serial);
    // The outbox of the tables, as waiting() is for the runs.
    base::Result<std::vector<Waiting>> camWaiting();
    base::Status markCamSent(const Waiting &sent);

    // The serial of the lens now on this station; empty while none is set.
    base::Result<QString> lensOnStation();
    // Sets it; the empty serial clears it.
    base::Status setLensOnStation(const QString &serial);

    // The runs under way (progress.cpp): the latest snapshot of each station replaces the one
    // before it.
    base::Status putProgress(const RunProgress &progress);
    base::Result<std::vector<RunProgress>> latestProgress();

private:
    enum class Kind { Station, Plant };
    RunDatabase(Kind kind, QString connectionName, QString name);

    static base::Result<std::unique_ptr<RunDatabase>> tryOpenStation(const QString &path,
                                                                     bool *damaged);
    [[nodiscard]] QSqlDatabase db() const;
    base::Status migrate();
    base::Status exec(const QString &sql);
    base::Status begin();
    base::Status commit();
    void rollback();
    base::Failure failure(const QString &what, const QSqlQuery &query) const;
    base::Result<RunRecord> readRecord(QSqlQuery &query, bool withLogs) const;
    // The columns readRecord() reads, without the logs.
    static QString summaryColumns();

    // A table of kept records with its own outbox: the runs, the cam tables.
    struct Kept
    {
        const char *table; // "runs"
        const char *order; // the column that orders its outbox, oldest first
        const char *noun;  // "run", for the messages
    };
    static const Kept kRuns;
    static const Kept kCams;
    base::Status setSerialOf(const Kept &kept, const QString &id, const QString &serial);
    base::Result<std::vector<Waiting>> waitingOf(const Kept &kept);
    base::Status markSentOf(const Kept &kept, const Waiting &sent);

    Kind m_kind;
    QString m_connection;
    QString m_name;
    QString m_notice;
};

} // namespace runs
