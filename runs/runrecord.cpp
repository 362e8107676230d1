#include "runrecord.h"

#include "runlog/runlog.h"
#include "runlog/summary.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <numeric>

#include <zlib.h>

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

base::Result<qint64> packedLogLength(const QByteArray &head)
{
    if (head.isEmpty())
        return 0;
    // qCompress puts the length first, big-endian; a forged length must not make a reader
    // allocate it.
    if (head.size() < 4)
        return base::fail(base::FailureKind::Damaged, "a stored log is cut short");
    const auto *bytes = reinterpret_cast<const unsigned char *>(head.constData());
    const qint64 claimed = (qint64{bytes[0]} << 24) | (qint64{bytes[1]} << 16) |
                           (qint64{bytes[2]} << 8) | qint64{bytes[3]};
    if (claimed > kLargestLog)
        return base::fail(base::FailureKind::Damaged,
                          "a stored log claims to be larger than any log could be");
    return claimed;
}

struct LogUnpacker::Inflater
{
    z_stream stream{};
    bool begun = false;
    ~Inflater()
    {
        if (begun)
            inflateEnd(&stream);
    }
};

LogUnpacker::LogUnpacker(QByteArray packed)
    : m_packed(std::move(packed)), m_inflater(std::make_unique<Inflater>()),
      m_claimed(packedLogLength(m_packed))
{
    // An empty log is stored as nothing, or as its length alone.
    m_ended = m_packed.size() <= 4;
    if (m_ended || !m_claimed)
        return;
    z_stream &stream = m_inflater->stream;
    stream.next_in = reinterpret_cast<Bytef *>(m_packed.data() + 4);
    stream.avail_in = static_cast<uInt>(m_packed.size() - 4);
    m_inflater->begun = inflateInit(&stream) == Z_OK;
    if (!m_inflater->begun)
        m_claimed =
            base::fail(base::FailureKind::Internal, "cannot unpack a stored log: no memory");
}

LogUnpacker::~LogUnpacker() = default;

base::Result<QByteArray> LogUnpacker::next(qsizetype most)
{
    if (!m_claimed)
        return m_claimed.failure();
    const auto damaged = [this](const char *why) {
        m_claimed = base::fail(base::FailureKind::Damaged, why);
        return m_claimed.failure();
    };
    if (m_ended && m_given == *m_claimed)
        return QByteArray();
    if (m_ended)
        return damaged("a stored log unpacks to another length than it claims (damaged)");
    QByteArray piece(most, Qt::Uninitialized);
    z_stream &stream = m_inflater->stream;
    stream.next_out = reinterpret_cast<Bytef *>(piece.data());
    stream.avail_out = static_cast<uInt>(most);
    while (stream.avail_out > 0 && !m_ended) {
        const int done = inflate(&stream, Z_NO_FLUSH);
        if (done == Z_STREAM_END)
            m_ended = true;
        else if (done != Z_OK)
            return damaged(stream.avail_in == 0 ? "a stored log is cut short (damaged)"
                                                : "a stored log does not unpack (damaged)");
    }
    piece.truncate(most - qsizetype{stream.avail_out});
    m_given += piece.size();
    if (m_given > *m_claimed || (m_ended && m_given != *m_claimed))
        return damaged("a stored log unpacks to another length than it claims (damaged)");
    return piece;
}

base::Result<QByteArray> unpackLog(const QByteArray &packed)
{
    LogUnpacker unpacker(packed);
    QByteArray log;
    for (;;) {
        auto piece = unpacker.next();
        if (!piece)
            return piece.failure();
        if (piece->isEmpty())
            return log;
        log += *piece;
    }
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
