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
        return base::fail(kept.error());
    if (kept->empty())
        return Found();
    auto found = records.findCamRecord(kept->front().id);
    if (!found)
        return base::fail(found.error());
    auto table = camtable::camTableFromBytes(
        found->bytes, QStringLiteral("%1, saved %2").arg(found->id, localTime(found->saved)));
    if (!table)
        return base::fail(QStringLiteral("the kept cam table %1 cannot be read: %2")
                              .arg(found->id, QString::fromStdString(table.error()))
                              .toStdString());
    return Found(std::move(*table));
}

} // namespace runs
