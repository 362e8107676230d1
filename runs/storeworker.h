#pragma once

#include "camrecord.h"
#include "runrecord.h"

#include "base/result.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace runs {

class RunDatabase;

// The logs as the file system describes them, without reading them: the size and the last change
// of each file (-1 for a file that is missing). Whatever writes to a log changes its stamp.
struct LogsStamp
{
    std::array<std::pair<qint64, qint64>, 2> files{};

    bool operator==(const LogsStamp &) const = default;
};

// The run keeper's half on the storing thread: the station's database and the logs on disk. The
// database is opened when first needed, and afresh after a failure to store.
class StoreWorker : public QObject
{
    Q_OBJECT
public:
    StoreWorker(QString path, QString logFolder);
    ~StoreWorker() override;

    // Stores a run that has just ended, with the logs as they are now.
    base::Status storeEnded(RunRecord record);
    // The serial of the lens now on the station; empty while none is set or it cannot be read.
    QString lensOnStation();
    // Keeps a saved cam table with the lens now on the station; gives whether it is a new record.
    base::Result<bool> keepCam(CamRecord record);
    // Makes sure the logs on disk are stored; `unknown` is the record to use if they are not.
    base::Status keepLogs(RunRecord unknown);

signals:
    void noted(const QString &text);
    void stored();

private:
    [[nodiscard]] QString logPath(const char *name) const;
    [[nodiscard]] LogsStamp logsStamp() const;
    // Remembers the logs as kept when `status` says they are.
    base::Status keptAs(const LogsStamp &seen, base::Status status);
    base::Status readLogs(RunRecord &record) const;
    base::Result<RunDatabase *> open();
    base::Status put(const RunRecord &record);
    base::Status failed(const RunRecord &record, base::Status why);

    QString m_path;
    QString m_logFolder;
    std::unique_ptr<RunDatabase> m_database;
    std::optional<RunRecord> m_unstored;
    // The logs as they stood when they were last found stored, or stored.
    std::optional<LogsStamp> m_kept;
};

} // namespace runs
