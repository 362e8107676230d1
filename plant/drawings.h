#pragma once

#include "drawing.h"

#include "base/result.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>

namespace plant {

// What is drawn of one run: its charts for the page, or its PDF report.
struct Drawing
{
    RunCharts charts;
    QByteArray pdf;

    [[nodiscard]] qsizetype bytes() const;
};

// The drawings of the runs, each made once on the application's thread and kept, by a key that
// names the run and the digest of its logs (a run whose logs grow is drawn anew). The kept ones
// take at most `mostBytes`, the least lately asked for going first. At most `mostWaiting`
// drawings wait for the application's thread or are being drawn; past that a request is refused
// at once (Busy), so a flood of drawings holds no thread that other pages need. Any thread may
// ask; while one draws a key, the others asking for it wait for that drawing.
class Drawings
{
public:
    static constexpr qsizetype kMostBytes = 128LL * 1024 * 1024;
    static constexpr int kMostWaiting = 4;

    using Drawn = std::shared_ptr<const Drawing>;
    using Draw = std::function<base::Result<Drawing>()>;

    explicit Drawings(qsizetype mostBytes = kMostBytes, int mostWaiting = kMostWaiting)
        : m_mostBytes(mostBytes), m_mostWaiting(mostWaiting)
    {
    }

    // The key of a run's drawing of that kind ("charts", "report.pdf").
    static QString key(const QString &kind, const QString &runId, const QByteArray &digest);

    // The drawing kept under `key`, if it is; never draws.
    Drawn kept(const QString &key);
    // The drawing kept under `key`, or the one `draw` makes now on the application's thread; a
    // drawing not done by `deadline` is TimedOut.
    base::Result<Drawn> drawn(const QString &key, const Draw &draw, Clock::time_point deadline);

private:
    using Future = std::shared_future<base::Result<Drawn>>;
    struct Entry
    {
        Future drawing;
        qsizetype bytes = 0; // 0 until drawn
        quint64 used = 0;    // when last asked for, in asks
    };
    void keep(const QString &key, qsizetype bytes); // under the lock

    qsizetype m_mostBytes;
    int m_mostWaiting;
    std::mutex m_mutex;
    std::map<QString, Entry> m_entries;
    qsizetype m_bytes = 0;
    quint64 m_asks = 0;
    int m_waiting = 0;
};

} // namespace plant
