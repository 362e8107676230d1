#include "cache.h"

#include "filter.h"

#include "runs/rundatabase.h"
#include "runs/runstore.h"

#include <optional>

namespace quality {

namespace {
// Enough for the filters a plant's people use in a day; beyond it the oldest goes.
constexpr std::size_t kMostCached = 64;
} // namespace

base::Result<Quality> Cache::compute(runs::RunDatabase &records, const runs::RunFilter &filter)
{
    auto mark = runs::RunStore(records).changeMark();
    if (!mark)
        return mark.failure();
    QString key = records.name();
    for (const auto &[name, value] : filterPairs(filter))
        key += u'\n' + name + u'=' + value;
    const QDateTime now = QDateTime::currentDateTimeUtc();

    std::promise<base::Result<Quality>> computing;
    std::optional<std::shared_future<base::Result<Quality>>> kept;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_cached.find(key);
        if (found != m_cached.end() && found->second.mark == *mark &&
            found->second.made.secsTo(now) < m_maxAge.count()) {
            kept = found->second.quality;
        } else if (m_cached.size() >= kMostCached && found == m_cached.end()) {
            auto oldest = m_cached.begin();
            for (auto each = m_cached.begin(); each != m_cached.end(); ++each)
                if (each->second.made < oldest->second.made)
                    oldest = each;
            m_cached.erase(oldest);
        }
        if (!kept)
            m_cached[key] = {*mark, now, computing.get_future().share()};
    }
    if (kept)
        return kept->get();
    const base::Status waited = turn();
    base::Result<Quality> computed =
        waited ? quality::compute(records, filter) : base::Result<Quality>(waited.failure());
    if (waited)
        turnDone();
    computing.set_value(computed);
    if (!computed) { // asked again, it is tried again
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_cached.find(key);
            found != m_cached.end() && found->second.made == now)
            m_cached.erase(found);
    }
    return computed;
}

base::Status Cache::turn()
{
    std::unique_lock lock(m_turns);
    if (m_computing >= kComputing && m_waiting >= kWaiting)
        return base::fail(base::FailureKind::Busy,
                          "the quality figures of other filters are being computed; ask again "
                          "soon");
    ++m_waiting;
    m_turnFree.wait(lock, [this] { return m_computing < kComputing; });
    --m_waiting;
    ++m_computing;
    return {};
}

void Cache::turnDone()
{
    {
        const std::lock_guard lock(m_turns);
        --m_computing;
    }
    m_turnFree.notify_one();
}

} // namespace quality
