#pragma once

#include "runfilter.h"

#include "base/result.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

namespace runs {

class RunDatabase;

// Which lenses a list holds: those with a run the run filter holds. A lens's runs are its runs
// before the filter's `until`: its first is its first in the records, its latest the latest of
// those.
struct LensFilter
{
    RunFilter runs;
    Verdict first = Verdict::Any;  // how its first run went
    Verdict latest = Verdict::Any; // how its latest run went
    bool onlyNew = false;          // only lenses whose first run the run filter holds
    // Only lenses that wait for a decision: the latest run failed, no run passed, or it has been
    // run 3 times or more.
    bool decision = false;
};

struct LensRow
{
    QString serial;
    int runs = 0;
    int stations = 0;
    QDateTime firstStart, latestStart;
    int firstErrors = 0, latestErrors = 0; // above the threshold
    int passedRuns = 0;

    bool operator==(const LensRow &) const = default;
};

struct LensPage
{
    std::vector<LensRow> lenses; // the lens run latest first
    int total = 0;               // the lenses the filter holds in all
};

// One page of the lenses (from 1), or all of them when `perPage` is 0.
base::Result<LensPage> lensPage(RunDatabase &database, const LensFilter &filter, int page,
                                int perPage);

// The same, when the filter chooses no runs, picked from every lens read once and kept while the
// records hold the same runs (RunStore::changeMark): the lists most asked for ("waiting for a
// decision") choose none. Any thread may ask; while one reads, the others wait for it.
class LensCache
{
public:
    base::Result<LensPage> page(RunDatabase &database, const LensFilter &filter, int page,
                                int perPage);

private:
    std::mutex m_mutex, m_summing;
    QString m_key;
    std::shared_ptr<const std::vector<LensRow>> m_all;
};

} // namespace runs
