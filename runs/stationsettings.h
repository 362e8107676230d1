#pragma once

#include "base/result.h"

#include <QString>

namespace runs {

class RunDatabase;

// What the station keeps about itself: the lens on it.
class StationSettings
{
public:
    explicit StationSettings(RunDatabase &database) : m_database(database) {}

    // The serial of the lens now on this station; empty while none is set.
    base::Result<QString> lens();
    // Sets it; the empty serial clears it.
    base::Status setLens(const QString &serial);

private:
    RunDatabase &m_database;
};

} // namespace runs
