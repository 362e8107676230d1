#include "runrecord.h"

#include "runlog/runlog.h"
#include "runlog/summary.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <numeric>

namespace runs {

namespace {
using runin::RunEnding;

struct EndingName
{
    RunEnding ending;
    const char *text;
};
constexpr std::array kEndingNames{
    EndingName{RunEnding::Completed, "completed"},
    EndingName{RunEnding::Aborted, "stopped by ABORT"},
    EndingName{RunEnding::NoAnswer, "the controller stopped answering"},
    EndingName{RunEnding::LineLost, "the line was lost"},
    EndingName{RunEnding::Closed, "the program was closed during the run"},
    EndingName{RunEnding::Unknown, "unknown"},
};

// A log of 100,000 lines (a day) is about 8 MB; anything claiming far more is not one of ours.
constexpr qsizetype kLargestLog = qsizetype{256} << 20;
} // namespace

int RunRecord::errorCount() const
{
    return std::accumulate(axes.begin(), axes.end(), 0,
                           [](int sum, const AxisFigures &axis) { return sum + axis.errors; });
}

QString endingText(RunEnding ending)
{
    for (const auto &name : kEndingNames)
        if (name.ending == ending)
            return QString::fromLatin1(name.text);
    return QStringLiteral("unknown");
}

std::optional<RunEnding> endingFromText(const QString &text)
{
    for (const auto &name : kEndingNames)
        if (text == QLatin1String(name.text))
            return name.ending;
    return std::nullopt;
}

QString axisName(int axis)
{
    return runlog::axisTitle(runlog::kAxes.at(static_cast<std::size_t>(axis)));
}

QByteArray logsDigest(const QByteArray &complete, const QByteArray &errors)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // The length first, so that no two different pairs run together into the same bytes.
    hash.addData(QByteArray::number(complete.size()) + '\n');
    hash.addData(complete);
    hash.addData(errors);
    return hash.result().toHex();
}

void takeFiguresFromLogs(RunRecord &record)
{
    const runlog::Summary summary =
        runlog::summarise(runlog::readLog(record.complete, QStringLiteral("Log Complete.txt")));
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const auto index = static_cast<std::size_t>(axis);
        const auto &moves = summary.moves.at(index);
        record.axes.at(index).moves = std::accumulate(moves.begin(), moves.end(), 0);
        record.axes.at(index).errors = summary.errors.at(index).count;
        record.axes.at(index).largest = summary.errors.at(index).largest;
    }
    record.cycles = std::max(record.cycles, summary.completedCycles);
    // A run found after a crash has only its log to tell when it went.
    if (!record.start.isValid() && summary.first && summary.first->moment)
        record.start = summary.first->moment->toUTC();
    if (!record.end.isValid() && summary.last && summary.last->moment)
        record.end = summary.last->moment->toUTC();
    record.digest = logsDigest(record.complete, record.errors);
}

QByteArray packLog(const QByteArray &log)
{
    return qCompress(log, 6);
}

base::Result<QByteArray> unpackLog(const QByteArray &packed)
{
    if (packed.isEmpty())
        return QByteArray();
    // qCompress puts the length first, big-endian; a forged length would make qUncompress try to
    // allocate it.
    if (packed.size() < 4)
        return base::fail(base::FailureKind::Damaged, "a stored log is cut short");
    const auto *bytes = reinterpret_cast<const unsigned char *>(packed.constData());
    const qsizetype claimed = (qsizetype{bytes[0]} << 24) | (qsizetype{bytes[1]} << 16) |
                              (qsizetype{bytes[2]} << 8) | qsizetype{bytes[3]};
    if (claimed > kLargestLog)
        return base::fail(base::FailureKind::Damaged,
                          "a stored log claims to be larger than any log could be");
    QByteArray log = qUncompress(packed);
    if (log.isEmpty() && claimed != 0)
        return base::fail(base::FailureKind::Damaged, "a stored log does not unpack (damaged)");
    if (log.size() != claimed)
        return base::fail(base::FailureKind::Damaged,
                          "a stored log unpacks to another length than it claims (damaged)");
    return log;
}

QString storedTime(const QDateTime &utc)
{
    if (!utc.isValid())
        return {};
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime timeFromStored(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

bool readsAsId(const QString &text)
{
    static const QRegularExpression idText(QStringLiteral("^[0-9a-fA-F-]{1,36}$"));
    return idText.match(text).hasMatch();
}

} // namespace runs
