#include "cache.h"

#include "filter.h"

#include "runs/rundatabase.h"

namespace quality {

namespace {
// Enough for the filters a plant's people use in a day; beyond it the oldest goes.
constexpr std::size_t kMostKept = 64;
} // namespace

base::Result<Quality> Cache::compute(runs::RunDatabase &records, const runs::RunFilter &filter)
{
    auto mark = records.changeMark();
    if (!mark)
        return base::fail(mark.error());
    QString key = records.name();
    for (const auto &[name, value] : filterPairs(filter))
        key += u'\n' + name + u'=' + value;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_kept.find(key);
        if (found != m_kept.end() && found->second.mark == *mark &&
            found->second.made.secsTo(now) < m_maxAge.count())
            return found->second.quality;
    }
    auto computed = quality::compute(records, filter);
    if (!computed)
        return computed;
    const std::lock_guard lock(m_mutex);
    if (m_kept.size() >= kMostKept && !m_kept.contains(key)) {
        auto oldest = m_kept.begin();
        for (auto each = m_kept.begin(); each != m_kept.end(); ++each)
            if (each->second.made < oldest->second.made)
                oldest = each;
        m_kept.erase(oldest);
    }
    m_kept[key] = {*mark, now, *computed};
    return computed;
}

} // namespace quality
