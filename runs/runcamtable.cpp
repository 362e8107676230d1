#include "runcamtable.h"

#include "localtime.h"

namespace runs {

base::Result<std::optional<camtable::CamTable>> camTableOfRun(RunDatabase &records,
                                                              const RunRecord &run)
{
    using Found = std::optional<camtable::CamTable>;
    if (run.serial.isEmpty() || !run.start.isValid())
        return Found();
    auto kept = records.camRecords({run.serial, {}, {}, run.start});
    if (!kept)
        return kept.failure();
    if (kept->empty())
        return Found();
    auto found = records.findCamRecord(kept->front().id);
    if (!found)
        return found.failure();
    auto table = camtable::camTableFromBytes(
        found->bytes, QStringLiteral("%1, saved %2").arg(found->id, localTime(found->saved)));
    if (!table)
        return base::fail(base::FailureKind::Damaged,
                          QStringLiteral("the kept cam table %1 cannot be read: %2")
                              .arg(found->id, QString::fromStdString(table.error()))
                              .toStdString());
    return Found(std::move(*table));
}

} // namespace runs
