#pragma once

#include "quality.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <future>
#include <map>
#include <mutex>

namespace quality {

// The figures of each filter computed lately, for a page that many ask for again and again: given
// again while the records hold the same runs (RunDatabase::changeMark) and for at most `maxAge`.
// Any thread may ask; while one computes a filter's figures, the others asking for the same wait
// for them.
class Cache
{
public:
    explicit Cache(std::chrono::seconds maxAge = std::chrono::seconds(60)) : m_maxAge(maxAge) {}

    base::Result<Quality> compute(runs::RunDatabase &records, const runs::RunFilter &filter);

private:
    // One filter's figures, computed or being computed, and what they were computed from.
    struct CachedFigures
    {
        QString mark;
        QDateTime made;
        std::shared_future<base::Result<Quality>> quality;
    };
    std::chrono::seconds m_maxAge;
    std::mutex m_mutex;
    std::map<QString, CachedFigures> m_cached; // by database and filter
};

} // namespace quality
