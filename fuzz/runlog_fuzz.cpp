// Whatever a technician hands velmaro-report as a running-in log: a log of another locale, a
// truncated one, another file entirely.
#include "runlog/runlog.h"
#include "runlog/summary.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const runlog::RunLog log = runlog::readLog(bytes, QStringLiteral("fuzz"), QLocale::c());

    // Every line is either read or listed, once, in order.
    fuzz::check(static_cast<std::size_t>(log.lineCount) ==
                log.entries.size() + log.unreadable.size());
    int previous = 0;
    for (const runlog::Entry &entry : log.entries) {
        fuzz::check(entry.line > previous && entry.line <= log.lineCount);
        previous = entry.line;
    }

    const runlog::Summary summary = runlog::summarise(log);
    int moves = 0;
    for (const auto &axis : summary.moves)
        for (const int count : axis)
            moves += count;
    int errors = 0;
    for (const runlog::Entry &entry : log.entries)
        errors += entry.kind == runlog::Entry::Kind::Error ? 1 : 0;
    fuzz::check(moves + errors == summary.entries);
    fuzz::check(!summary.durationMs || (summary.first->moment && summary.last->moment));
    return 0;
}
