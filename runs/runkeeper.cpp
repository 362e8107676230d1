#include "runkeeper.h"

#include "plantsender.h"
#include "rundatabase.h"

#include "runin/logfiles.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>

#include <array>
#include <optional>
#include <utility>

namespace runs {

namespace {
constexpr std::array<const char *, 2> kLogNames{runin::LogFiles::kComplete,
                                                runin::LogFiles::kErrors};

// The logs as the file system describes them, without reading them: the size and the last change
// of each file (-1 for a file that is missing). Whatever writes to a log changes its stamp.
struct LogsStamp
{
    std::array<std::pair<qint64, qint64>, 2> files{};

    bool operator==(const LogsStamp &) const = default;
};
} // namespace

// The keeper's half on the storing thread: the station's database and the logs on disk.
class StoreWorker : public QObject
{
    Q_OBJECT
public:
    StoreWorker(QString path, QString logFolder)
        : m_path(std::move(path)), m_logFolder(std::move(logFolder))
    {}

    // Stores a run that has just ended, with the logs as they are now.
    base::Status storeEnded(RunRecord record)
    {
        if (record.serial.isEmpty())
            record.serial = m_lensAtStart.value(record.id);
        m_lensAtStart.remove(record.id);
        // Taken before the logs are read: a write in between makes the stamp stale, never wrong.
        const LogsStamp seen = logsStamp();
        if (auto read = readLogs(record); !read)
            return failed(record, read);
        takeFiguresFromLogs(record);
        return keptAs(seen, put(record));
    }

    // The lens a run starts with is the lens it runs, whatever is set while it runs.
    void runStarted(const QString &id)
    {
        if (auto database = open())
            if (auto lens = (*database)->lensOnStation())
                m_lensAtStart.insert(id, *lens);
    }

    // Keeps a saved cam table with the lens now on the station; gives whether it is a new record.
    base::Result<bool> keepCam(CamRecord record)
    {
        auto database = open();
        if (!database)
            return database.failure();
        auto lens = (*database)->lensOnStation();
        if (lens)
            record.serial = *lens;
        auto kept = lens ? (*database)->keepCamRecord(record) : base::Result<bool>(lens.failure());
        if (!kept) {
            m_database.reset(); // opened afresh next time, as for runs
            return kept;
        }
        if (*kept)
            emit stored();
        return kept;
    }

    // Makes sure the logs on disk are stored; `unknown` is the record to use if they are not.
    base::Status keepLogs(RunRecord unknown)
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
        auto known = (*database)->hasLogs(unknown.digest);
        if (!known)
            return known.failure();
        if (*known)
            return keptAs(seen, {});
        if (auto lens = (*database)->lensOnStation(); lens && unknown.serial.isEmpty())
            unknown.serial = *lens;
        takeFiguresFromLogs(unknown);
        return keptAs(seen, put(unknown));
    }

signals:
    void noted(const QString &text);
    void stored();

private:
    [[nodiscard]] QString logPath(const char *name) const
    {
        return QDir(m_logFolder).filePath(QString::fromLatin1(name));
    }

    [[nodiscard]] LogsStamp logsStamp() const
    {
        LogsStamp stamp;
        for (std::size_t i = 0; i < kLogNames.size(); ++i) {
            const QFileInfo file(logPath(kLogNames.at(i)));
            stamp.files.at(i) =
                file.exists() ? std::pair{file.size(), file.lastModified().toMSecsSinceEpoch()}
                              : std::pair<qint64, qint64>{-1, -1};
        }
        return stamp;
    }

    // Remembers the logs as kept when `status` says they are.
    base::Status keptAs(const LogsStamp &seen, base::Status status)
    {
        if (status)
            m_kept = seen;
        return status;
    }

    base::Status readLogs(RunRecord &record) const
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

    base::Result<RunDatabase *> open()
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

    base::Status put(const RunRecord &record)
    {
        auto database = open();
        base::Status done = database ? (*database)->put(record) : database.failure();
        if (!done) {
            // Opened afresh next time: the disk may have room again, the file may be back.
            m_database.reset();
            return failed(record, done);
        }
        m_unstored.reset();
        emit stored();
        return {};
    }

    base::Status failed(const RunRecord &record, base::Status why)
    {
        m_unstored = record;
        return why;
    }

    QString m_path;
    QString m_logFolder;
    std::unique_ptr<RunDatabase> m_database;
    std::optional<RunRecord> m_unstored;
    // The logs as they stood when they were last found stored, or stored.
    std::optional<LogsStamp> m_kept;
    QHash<QString, QString> m_lensAtStart; // by run id
};

namespace {
QString testsText(bool singleStep, bool fullStroke)
{
    // The sequencer runs the full stroke when neither box is ticked.
    if (singleStep && fullStroke)
        return QStringLiteral("Single Step, Full stroke");
    if (singleStep)
        return QStringLiteral("Single Step");
    return QStringLiteral("Full stroke");
}
} // namespace

RunKeeper::RunKeeper(KeeperSetup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup)), m_progress([this](const RunProgress &progress) {
          if (m_sender != nullptr)
              m_sender->offerProgress(progress);
      })
{
    m_storeThread.setObjectName(QStringLiteral("run records"));
    m_store = new StoreWorker(m_setup.stationPath, m_setup.logFolder);
    m_store->moveToThread(&m_storeThread);
    connect(&m_storeThread, &QThread::finished, m_store, &QObject::deleteLater);
    connect(m_store, &StoreWorker::noted, this, &RunKeeper::note);
    m_storeThread.start();

    if (!m_setup.plantConnection.isEmpty()) {
        m_sendThread.setObjectName(QStringLiteral("plant sender"));
        m_sender = new PlantSender(m_setup.stationPath, m_setup.plantConnection);
        m_sender->moveToThread(&m_sendThread);
        connect(&m_sendThread, &QThread::finished, m_sender, &QObject::deleteLater);
        connect(m_sender, &PlantSender::failed, this, [this](const QString &reason) {
            note(QStringLiteral("Run records not sent to the plant: %1").arg(reason));
        });
        connect(m_store, &StoreWorker::stored, this, &RunKeeper::sendToPlant);
        m_sendThread.start();
        sendToPlant(); // what waited since the last time
    }
}

RunKeeper::~RunKeeper()
{
    waitForStoring();
    m_storeThread.quit();
    m_storeThread.wait();
    m_sendThread.requestInterruption();
    m_sendThread.quit();
    m_sendThread.wait();
}

void RunKeeper::waitForStoring()
{
    if (!m_storeThread.isRunning())
        return;
    // Queued behind every record handed over before.
    QMetaObject::invokeMethod(
        m_store, [] {}, Qt::BlockingQueuedConnection);
}

void RunKeeper::setNoteHandler(Note note)
{
    m_note = std::move(note);
    if (m_note)
        for (const QString &text : std::exchange(m_unheard, {}))
            m_note(text);
}

void RunKeeper::note(const QString &text)
{
    if (m_note)
        m_note(text);
    else
        m_unheard << text;
}

void RunKeeper::sendToPlant()
{
    if (m_sender != nullptr)
        QMetaObject::invokeMethod(m_sender, &PlantSender::send, Qt::QueuedConnection);
}

void RunKeeper::runStarted(bool singleStep, bool fullStroke)
{
    m_current = std::make_unique<RunRecord>();
    m_current->id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_current->station = m_setup.station;
    m_current->operatorName = m_setup.operatorName;
    m_current->version = m_setup.version;
    m_current->port = m_setup.port ? m_setup.port() : QString();
    m_current->start = QDateTime::currentDateTimeUtc();
    m_current->tests = testsText(singleStep, fullStroke);
    QMetaObject::invokeMethod(
        m_store, [store = m_store, id = m_current->id] { store->runStarted(id); },
        Qt::QueuedConnection);
    m_progress.started(*m_current);
}

void RunKeeper::runProgressed(const runin::RunSoFar &soFar)
{
    m_progress.progressed(soFar);
}

void RunKeeper::keepCamTable(const QByteArray &bytes, int rowsRecorded, Kept done)
{
    CamRecord record;
    record.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.station = m_setup.station;
    record.operatorName = m_setup.operatorName;
    record.version = m_setup.version;
    record.saved = QDateTime::currentDateTimeUtc();
    record.bytes = bytes;
    record.rowsRecorded = rowsRecorded;
    record.digest = camDigest(bytes);
    QMetaObject::invokeMethod(
        m_store,
        [this, record = std::move(record), done = std::move(done)]() mutable {
            base::Result<bool> kept = m_store->keepCam(std::move(record));
            const base::Status outcome = kept ? base::Status{} : kept.failure();
            QMetaObject::invokeMethod(
                this,
                [done = std::move(done), outcome] {
                    if (done)
                        done(outcome);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void RunKeeper::runEnded(runin::RunEnding how, std::int32_t completedCycles)
{
    if (!m_current)
        return;
    m_progress.ended(completedCycles);
    RunRecord record = std::move(*m_current);
    m_current.reset();
    record.end = QDateTime::currentDateTimeUtc();
    record.ending = how;
    record.cycles = completedCycles;
    // The logs are read on the storing thread; START waits for it before it empties them.
    QMetaObject::invokeMethod(
        m_store,
        [this, record = std::move(record)]() mutable {
            const QString id = record.id;
            if (auto done = m_store->storeEnded(std::move(record)); !done)
                QMetaObject::invokeMethod(
                    this,
                    [this, id, why = QString::fromStdString(done.error())] {
                        note(QStringLiteral("The run %1 could not be stored: %2. Its logs are "
                                            "kept until the next START.")
                                 .arg(id.left(8), why));
                    },
                    Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

base::Status RunKeeper::keepPreviousRun()
{
    RunRecord unknown;
    unknown.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    unknown.station = m_setup.station;
    unknown.operatorName = m_setup.operatorName;
    unknown.version = m_setup.version;
    unknown.port = QStringLiteral("unknown");
    unknown.tests = QStringLiteral("unknown");
    unknown.ending = runin::RunEnding::Unknown;

    // The window goes on painting and polling meanwhile; the operator's input waits.
    QEventLoop loop;
    std::optional<base::Status> answer;
    QMetaObject::invokeMethod(
        m_store,
        [this, &loop, &answer, unknown = std::move(unknown)]() mutable {
            base::Status kept = m_store->keepLogs(std::move(unknown));
            QMetaObject::invokeMethod(
                &loop,
                [&loop, &answer, kept = std::move(kept)] {
                    answer = kept;
                    loop.quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    while (!answer)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return *answer;
}

} // namespace runs

#include "runkeeper.moc"
