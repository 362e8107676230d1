#include "storeworker.h"

#include "camstore.h"
#include "rundatabase.h"
#include "runstore.h"
#include "stationsettings.h"

#include "runin/logfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace runs {

namespace {
constexpr std::array<const char *, 2> kLogNames{runin::LogFiles::kComplete,
                                                runin::LogFiles::kErrors};
} // namespace

StoreWorker::StoreWorker(QString path, QString logFolder)
    : m_path(std::move(path)), m_logFolder(std::move(logFolder))
{}

StoreWorker::~StoreWorker() = default;

base::Status StoreWorker::storeEnded(RunRecord record)
{
    // Taken before the logs are read: a write in between makes the stamp stale, never wrong.
    const LogsStamp seen = logsStamp();
    if (auto read = readLogs(record); !read)
        return failed(record, read);
    takeFiguresFromLogs(record);
    return keptAs(seen, put(record));
}

QString StoreWorker::lensOnStation()
{
    auto database = open();
    auto lens = database ? StationSettings(**database).lens() : base::Result<QString>(QString());
    return lens ? *lens : QString();
}

base::Result<bool> StoreWorker::keepCam(CamRecord record)
{
    auto database = open();
    if (!database)
        return database.failure();
    auto lens = StationSettings(**database).lens();
    if (lens)
        record.serial = *lens;
    auto kept =
        lens ? CamStore(**database).keep(record) : base::Result<bool>(lens.failure());
    if (!kept) {
        m_database.reset(); // opened afresh next time, as for runs
        return kept;
    }
    if (*kept)
        emit stored();
    return kept;
}

base::Status StoreWorker::keepLogs(RunRecord unknown)
{
    // Logs untouched since this keeper stored them need neither reading nor asking: after a
    // long run that is most of the time START takes.
    const LogsStamp seen = logsStamp();
    if (m_kept == seen)
        return {};
    if (auto read = readLogs(unknown); !read)
        return read;
    if (unknown.complete.isEmpty() && unknown.errors.isEmpty())
        return keptAs(seen, {}); // no run to keep
    unknown.digest = logsDigest(unknown.complete, unknown.errors);
    // A run whose end could not be stored keeps what it knew of itself.
    if (m_unstored && m_unstored->digest == unknown.digest)
        return keptAs(seen, put(*m_unstored));
    auto database = open();
    if (!database)
        return database.failure();
    auto known = RunStore(**database).hasLogs(unknown.digest);
    if (!known)
        return known.failure();
    if (*known)
        return keptAs(seen, {});
    if (auto lens = StationSettings(**database).lens(); lens && unknown.serial.isEmpty())
        unknown.serial = *lens;
    takeFiguresFromLogs(unknown);
    return keptAs(seen, put(unknown));
}

QString StoreWorker::logPath(const char *name) const
{
    return QDir(m_logFolder).filePath(QString::fromLatin1(name));
}

LogsStamp StoreWorker::logsStamp() const
{
    LogsStamp stamp;
    for (std::size_t i = 0; i < kLogNames.size(); ++i) {
        const QFileInfo file(logPath(kLogNames.at(i)));
        stamp.files.at(i) = file.exists()
                                ? std::pair{file.size(), file.lastModified().toMSecsSinceEpoch()}
                                : std::pair<qint64, qint64>{-1, -1};
    }
    return stamp;
}

base::Status StoreWorker::keptAs(const LogsStamp &seen, base::Status status)
{
    if (status)
        m_kept = seen;
    return status;
}

base::Status StoreWorker::readLogs(RunRecord &record) const
{
    for (auto [name, into] :
         {std::pair{kLogNames[0], &record.complete}, std::pair{kLogNames[1], &record.errors}}) {
        QFile file(logPath(name));
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            return base::fail(base::FailureKind::Unavailable,
                              QStringLiteral("cannot read \"%1\": %2")
                                  .arg(file.fileName(), file.errorString())
                                  .toStdString());
        *into = file.readAll();
    }
    return {};
}

base::Result<RunDatabase *> StoreWorker::open()
{
    if (!m_database) {
        auto opened = RunDatabase::openStation(m_path);
        if (!opened)
            return opened.failure();
        m_database = std::move(*opened);
        // Another file than the one the kept logs went to, maybe: they are looked at again.
        m_kept.reset();
        if (!m_database->notice().isEmpty())
            emit noted(m_database->notice());
    }
    return m_database.get();
}

base::Status StoreWorker::put(const RunRecord &record)
{
    auto database = open();
    base::Status done = database ? RunStore(**database).put(record) : database.failure();
    if (!done) {
        // Opened afresh next time: the disk may have room again, the file may be back.
        m_database.reset();
        return failed(record, done);
    }
    m_unstored.reset();
    emit stored();
    return {};
}

base::Status StoreWorker::failed(const RunRecord &record, base::Status why)
{
    m_unstored = record;
    return why;
}

} // namespace runs
