#pragma once

#include "recordtable.h"

#include "base/result.h"

#include <QString>

#include <vector>

namespace runs {

// A record waiting in the station's outbox: its id and the revision to send.
struct Waiting
{
    QString id;
    qint64 revision = 0;
};

// The station's outbox to the plant for one table of records: every change to a record raises
// its revision, and a record waits until the plant has that revision.
class Outbox
{
public:
    Outbox(RunDatabase &database, const RecordTable &table) : m_database(database), m_table(table)
    {}

    // The records whose newest revision the plant does not have yet, oldest first.
    base::Result<std::vector<Waiting>> waiting();
    base::Status markSent(const Waiting &sent);

private:
    RunDatabase &m_database;
    const RecordTable &m_table;
};

} // namespace runs
