#pragma once

#include "runrecord.h"

#include "base/result.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

namespace runs {
class RunDatabase;
}

// The run records' schema, the same in the station's SQLite file and the plant's PostgreSQL
// database: the migrations that build it, version by version.
namespace runs::schema {

// The one part of the statements that differs between the two.
enum class Dialect { Sqlite, Postgres };

// The statements that lead to a schema version from the one before.
struct Migration
{
    int version;
    QStringList statements;
    // What fills the new tables from the records, after the statements.
    std::function<base::Status(RunDatabase &)> fill = nullptr;
};

// Every migration, numbered from 1 without a gap. A new version is one more entry at the end; an
// entry once released never changes, since databases out there have run it.
std::vector<Migration> migrations(Dialect dialect);

// The newest schema this program knows.
int version();

// Brings the database to the newest schema, in one transaction; a database whose schema is newer
// than this program knows is refused.
base::Status migrate(RunDatabase &database);

// A run's columns in the runs table, in the order a run is read back: its fields, the total of
// its errors, each axis's figures, the digest and last the two logs.
inline constexpr std::array<const char *, kAxisCount> kAxisColumns{"zoom1", "zoom2", "iris",
                                                                   "focus"};
QStringList runColumns();
// The same without the logs.
QString summaryColumns();

} // namespace runs::schema
