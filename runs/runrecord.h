#pragma once

#include "base/axiscount.h"
#include "base/result.h"
#include "runin/runrecorder.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <memory>
#include <optional>

// One running-in run as it is kept: who ran it where, what it did, how it ended, and both of its
// logs verbatim, so that its report can be made again from the record alone.
namespace runs {

using base::kAxisCount;

struct AxisFigures
{
    int moves = 0;
    int errors = 0;                // position errors beyond the threshold, either way
    std::optional<double> largest; // the largest of them, by size
    bool operator==(const AxisFigures &) const = default;
};

struct RunRecord
{
    QString id; // a UUID, without braces
    QString station;
    QString operatorName;
    QString version;
    QString port;         // "COM3 (/dev/ttyUSB0)"
    QDateTime start, end; // UTC
    QString tests;        // "Single Step, Full stroke"
    int cycles = 0;
    std::array<AxisFigures, kAxisCount> axes{};
    runin::RunEnding ending = runin::RunEnding::Unknown;
    QString serial;
    QByteArray complete, errors; // "Log Complete.txt" and "Log Errors.txt", byte for byte
    QByteArray digest;           // of both logs: tells whether the logs on disk are kept already

    [[nodiscard]] int errorCount() const;
    bool operator==(const RunRecord &) const = default;
};

// "stopped by ABORT", ..., "unknown"; and back.
QString endingText(runin::RunEnding ending);
std::optional<runin::RunEnding> endingFromText(const QString &text);

// "Zoom 1", "Zoom 2", "Iris", "Focus".
QString axisName(int axis);

// The digest of a pair of logs, the key that finds a stored run by its logs.
QByteArray logsDigest(const QByteArray &complete, const QByteArray &errors);

// Fills the figures (moves, errors, cycles where the log shows them) and the digest from the logs.
void takeFiguresFromLogs(RunRecord &record);

// The logs as stored (compressed) and back. Unpacking reads what a database gave, so it checks.
QByteArray packLog(const QByteArray &log);
base::Result<QByteArray> unpackLog(const QByteArray &packed);
// The length a stored log claims unpacked, from its first four bytes (or all of them).
base::Result<qint64> packedLogLength(const QByteArray &head);

// A stored log unpacked a piece at a time, so that a long one is never whole in memory. Each piece
// is checked as it comes: a log that does not unpack, or unpacks to another length than it
// claims, fails as damaged.
class LogUnpacker
{
public:
    explicit LogUnpacker(QByteArray packed);
    ~LogUnpacker();
    LogUnpacker(const LogUnpacker &) = delete;
    LogUnpacker &operator=(const LogUnpacker &) = delete;

    // The next piece, at most `most` bytes; empty once the whole log has come.
    base::Result<QByteArray> next(qsizetype most = qsizetype{256} << 10);

private:
    struct Inflater;
    QByteArray m_packed;
    std::unique_ptr<Inflater> m_inflater;
    base::Result<qint64> m_claimed;
    qint64 m_given = 0;
    bool m_ended = false;
};

// The time as stored: ISO 8601 in UTC to the millisecond, so that text order is time order.
QString storedTime(const QDateTime &utc);
QDateTime timeFromStored(const QString &text);

// Whether a record id as a user gives it can be one: a UUID or a beginning of one, any case.
bool readsAsId(const QString &text);

} // namespace runs
