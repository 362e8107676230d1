#include "drawings.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace plant {

qsizetype Drawing::bytes() const
{
    qsizetype sum = pdf.size();
    for (const SvgChart &chart : charts.charts)
        sum += chart.svg.size() + chart.title.size() * 2;
    return sum + charts.note.size() * 2;
}

QString Drawings::key(const QString &kind, const QString &runId, const QByteArray &digest)
{
    return QStringLiteral("%1 of run %2 (logs %3)").arg(kind, runId, QString::fromLatin1(digest));
}

Drawings::Drawn Drawings::kept(const QString &key)
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(key);
    if (found == m_entries.end() || found->second.bytes == 0)
        return nullptr;
    found->second.used = ++m_asks;
    return *found->second.drawing.get();
}

base::Result<Drawings::Drawn> Drawings::drawn(const QString &key, const Draw &draw,
                                              Clock::time_point deadline)
{
    std::promise<base::Result<Drawn>> drawing;
    {
        std::unique_lock lock(m_mutex);
        if (const auto found = m_entries.find(key); found != m_entries.end()) {
            found->second.used = ++m_asks;
            const Future waited = found->second.drawing;
            lock.unlock();
            if (waited.wait_until(deadline) != std::future_status::ready)
                return base::fail(base::FailureKind::TimedOut,
                                  "the drawing was not done in time; the server is busy");
            return waited.get();
        }
        if (m_waiting >= m_mostWaiting)
            return base::fail(base::FailureKind::Busy,
                              "the server is drawing as much as it can now; ask again soon");
        ++m_waiting;
        m_entries[key] = {drawing.get_future().share(), 0, ++m_asks};
    }

    std::optional<base::Result<Drawing>> made;
    const bool done = onGuiThread([&] { made = draw(); }, deadline);
    base::Result<Drawn> outcome =
        !done ? base::Result<Drawn>(base::fail(base::FailureKind::TimedOut,
                                               "the drawing was not done in time; the server "
                                               "is busy"))
        : !*made ? base::Result<Drawn>(made->failure())
                 : base::Result<Drawn>(std::make_shared<const Drawing>(std::move(**made)));
    {
        const std::lock_guard lock(m_mutex);
        --m_waiting;
        if (outcome) {
            std::fprintf(stderr, "velmaro-plant: drew %s\n", key.toUtf8().constData());
            keep(key, std::max<qsizetype>((*outcome)->bytes(), 1));
        } else {
            m_entries.erase(key); // asked again, it is tried again
        }
    }
    drawing.set_value(outcome);
    return outcome;
}

void Drawings::keep(const QString &key, qsizetype bytes)
{
    m_entries[key].bytes = bytes;
    m_bytes += bytes;
    while (m_bytes > m_mostBytes) {
        // The least lately asked for of those drawn; the one just drawn only when alone too big.
        auto oldest = m_entries.end();
        for (auto each = m_entries.begin(); each != m_entries.end(); ++each)
            if (each->second.bytes > 0 && each->first != key &&
                (oldest == m_entries.end() || each->second.used < oldest->second.used))
                oldest = each;
        if (oldest == m_entries.end())
            oldest = m_entries.find(key);
        const bool itself = oldest->first == key;
        m_bytes -= oldest->second.bytes;
        m_entries.erase(oldest);
        if (itself)
            break;
    }
}

} // namespace plant
