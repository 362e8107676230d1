// A stored log as a database hands it back: the plant's database is shared by every station and
// anyone with its login, so its bytes are not trusted. Unpacked, then read as a log.
#include "runlog/runlog.h"
#include "runs/runrecord.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray packed(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto log = runs::unpackLog(packed);
    if (!log)
        return 0;
    // What unpacks is what was packed, and packs back to the same log.
    fuzz::check(*runs::unpackLog(runs::packLog(*log)) == *log);
    const runlog::RunLog read = runlog::readLog(*log, QStringLiteral("fuzz"), QLocale::c());
    fuzz::check(static_cast<std::size_t>(read.lineCount) ==
                read.entries.size() + read.unreadable.size());
    return 0;
}
