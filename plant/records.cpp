#include "records.h"

#include <algorithm>
#include <map>

namespace plant {

namespace {

bool keeps(const runs::RunFilter &filter, const runs::RunRecord &run)
{
    if (!filter.operatorName.isEmpty() && run.operatorName != filter.operatorName)
        return false;
    if (filter.verdict != runs::Verdict::Any &&
        passed(run) != (filter.verdict == runs::Verdict::Pass))
        return false;
    return !filter.until.isValid() || run.start < filter.until;
}

} // namespace

bool passed(const runs::RunRecord &run)
{
    return run.errorCount() == 0;
}

base::Result<std::vector<runs::RunRecord>> runsOf(runs::RunDatabase &records,
                                                  const runs::RunFilter &filter)
{
    auto all = records.list(filter);
    if (!all)
        return all;
    std::vector<runs::RunRecord> kept;
    for (runs::RunRecord &run : *all)
        if (keeps(filter, run))
            kept.push_back(std::move(run));
    return kept;
}

base::Result<runs::RunPage> runPage(runs::RunDatabase &records, const runs::RunFilter &filter,
                                    int page, int perPage)
{
    auto all = runsOf(records, filter);
    if (!all)
        return base::fail(all.error());
    runs::RunPage result;
    result.total = static_cast<int>(all->size());
    std::reverse(all->begin(), all->end());
    const auto first = static_cast<std::size_t>(std::max(0, (page - 1) * perPage));
    for (std::size_t i = first; i < all->size() && i < first + std::size_t(perPage); ++i)
        result.runs.push_back(std::move(all->at(i)));
    return result;
}

base::Result<std::vector<runs::RunRecord>> lastRuns(runs::RunDatabase &records)
{
    auto all = records.list({});
    if (!all)
        return all;
    std::map<QString, runs::RunRecord> latest;
    for (runs::RunRecord &run : *all) // oldest first: the last one stays
        latest[run.station] = std::move(run);
    std::vector<runs::RunRecord> result;
    for (auto &[station, run] : latest)
        result.push_back(std::move(run));
    return result;
}

base::Result<std::vector<runs::RunProgress>> liveRuns(runs::RunDatabase &)
{
    return std::vector<runs::RunProgress>{};
}

} // namespace plant
