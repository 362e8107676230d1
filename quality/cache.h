#pragma once

#include "quality.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>

namespace quality {

// The figures of each filter computed lately, for a page that many ask for again and again: given
// again while the records hold the same runs (RunDatabase::changeMark) and for at most `maxAge`.
// Any thread may ask; while one computes a filter's figures, the others asking for the same wait
// for them. At most `kComputing` filters are computed at once; up to `kWaiting` more wait their
// turn, and past that the answer is Busy at once, so a flood of filters holds up no other page.
class Cache
{
public:
    static constexpr int kComputing = 2;
    static constexpr int kWaiting = 6;

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
    // Waits for a turn to compute, or Busy when too many wait already.
    base::Status turn();
    void turnDone();

    std::mutex m_mutex;
    std::map<QString, CachedFigures> m_cached; // by database and filter
    std::mutex m_turns;
    std::condition_variable m_turnFree;
    int m_computing = 0, m_waiting = 0;
};

} // namespace quality
