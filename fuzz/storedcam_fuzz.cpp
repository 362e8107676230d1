// A kept cam table as a database hands it back: the plant's database is shared by every station
// and anyone with its login, so neither its bytes nor its digest are trusted. Checked against the
// digest, then read, checked and compared as velmaro-report does.
#include "camtable/camcheck.h"
#include "runs/camrecord.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    runs::CamRecord record;
    record.id = QStringLiteral("fuzz");
    record.bytes = QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // A digest the bytes were not made of is refused; the one they were made of is taken.
    record.digest = record.bytes.left(64);
    fuzz::check(!runs::checkCamBytes(record) || record.digest == runs::camDigest(record.bytes));
    record.digest = runs::camDigest(record.bytes);
    fuzz::check(runs::checkCamBytes(record).ok());
    if (!record.bytes.isEmpty()) {
        runs::CamRecord damaged = record;
        damaged.bytes[0] = static_cast<char>(damaged.bytes[0] ^ 1);
        fuzz::check(!runs::checkCamBytes(damaged));
    }

    const auto table = camtable::camTableFromBytes(record.bytes, record.id);
    if (!table)
        return 0;
    const camtable::CamCheck check = camtable::checkCam(*table);
    fuzz::check(check.recorded >= 0 && check.recorded <= 86);
    fuzz::check(!check.passes() || (check.recorded == 86 && check.jumps.empty()));
    for (const camtable::CamStep &turn : check.turns)
        fuzz::check(turn.from < turn.to && turn.size() != 0);
    fuzz::check(camtable::camDifferences(*table, *table).empty());
    return 0;
}
