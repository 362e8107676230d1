#pragma once

#include "runrecord.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The run records' schema, the same in the station's SQLite file and the plant's PostgreSQL
// database: the migrations that build it, version by version.
namespace runs::schema {

// The one part of the statements that differs between the two.
enum class Dialect { Sqlite, Postgres };

// Each schema version, as the statements that lead to it from the one before: the first entry
// makes version 1, and the schema's version is the list's length. A new version is one more entry
// at the end; an entry once released never changes, since databases out there have run it.
std::vector<QStringList> migrations(Dialect dialect);

// The newest schema this program knows: how many migrations there are.
int version();

// A run's columns in the runs table, in the order a run is read back: its fields, the total of
// its errors, each axis's figures, the digest and last the two logs.
inline constexpr std::array<const char *, kAxisCount> kAxisColumns{"zoom1", "zoom2", "iris",
                                                                   "focus"};
QStringList runColumns();

} // namespace runs::schema
