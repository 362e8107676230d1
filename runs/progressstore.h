#pragma once

#include "progress.h"

#include "base/result.h"

#include <vector>

namespace runs {

class RunDatabase;

// The runs under way as the plant keeps them: the latest snapshot of each station replaces the
// one before it.
class ProgressStore
{
public:
    explicit ProgressStore(RunDatabase &database) : m_database(database) {}

    base::Status put(const RunProgress &progress);
    // Each station's latest snapshot, by station.
    base::Result<std::vector<RunProgress>> latest();
    // The database's own clock now, in UTC: the clock that stamps the snapshots.
    base::Result<QDateTime> now();

private:
    RunDatabase &m_database;
};

} // namespace runs
