#pragma once

#include "base/result.h"

#include <QString>

#include <memory>
#include <utility>

class QSqlDatabase;
class QSqlQuery;

namespace runs {

// The run records' database through Qt SQL: the station's own SQLite file, or the plant's
// PostgreSQL database, both with the versioned schema of schema.h, migrated as they are opened.
// It is the connection only; each kind of record has a store of its own over it:
//   runstore.h       the runs                  camstore.h       the kept cam tables
//   outbox.h         what waits for the plant  stationsettings.h the lens on the station
//   progressstore.h  the runs under way        runqueries.h     the sums behind the quality figures
// An object belongs to the thread that opened it.
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
    [[nodiscard]] bool isPlant() const { return m_kind == Kind::Plant; }

    [[nodiscard]] QSqlDatabase connection() const;
    // Runs a statement without results.
    base::Status exec(const QString &sql);
    // "<what> (<name>): <the database's reason>"
    [[nodiscard]] base::Failure failure(const QString &what, const QSqlQuery &query) const;

private:
    enum class Kind { Station, Plant };
    RunDatabase(Kind kind, QString connectionName, QString name);

    static base::Result<std::unique_ptr<RunDatabase>> tryOpenStation(const QString &path,
                                                                     bool *damaged);

    Kind m_kind;
    QString m_connection;
    QString m_name;
    QString m_notice;
};

// A transaction: what it did is undone unless it is committed.
class Transaction
{
public:
    // Takes the write lock at once at the station, so that a second writer waits its turn at the
    // start instead of failing halfway.
    static base::Result<Transaction> begin(RunDatabase &database);
    Transaction(Transaction &&other) noexcept : m_database(std::exchange(other.m_database, nullptr))
    {}
    Transaction &operator=(Transaction &&) = delete;
    ~Transaction();

    base::Status commit();

private:
    explicit Transaction(RunDatabase &database) : m_database(&database) {}

    RunDatabase *m_database; // null once committed
};

// A text as the columns keep it: never NULL, empty when unknown.
inline QString storedText(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

} // namespace runs
