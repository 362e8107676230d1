#include "runkeeper.h"

#include "plantsender.h"
#include "storeworker.h"

#include <QEventLoop>
#include <QUuid>

#include <optional>
#include <utility>

namespace runs {

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

template <class Work, class Then> void RunKeeper::onStore(Work work, Then then)
{
    QMetaObject::invokeMethod(
        m_store,
        [this, work = std::move(work), then = std::move(then)]() mutable {
            auto outcome = work(*m_store);
            QMetaObject::invokeMethod(
                this,
                [then = std::move(then), outcome = std::move(outcome)]() mutable {
                    then(std::move(outcome));
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

template <class Work> auto RunKeeper::onStoreAndWait(Work work)
{
    // The window goes on painting and polling meanwhile; the operator's input waits.
    QEventLoop loop;
    std::optional<decltype(work(*m_store))> answer;
    onStore(std::move(work), [&loop, &answer](auto outcome) {
        answer = std::move(outcome);
        loop.quit();
    });
    while (!answer)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return std::move(*answer);
}

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
    // The lens a run starts with is the lens it runs, whatever is set while it runs.
    m_current->serial = onStoreAndWait([](StoreWorker &store) { return store.lensOnStation(); });
    m_progress.started(*m_current);
}

void RunKeeper::runProgressed(const runin::RunSoFar &soFar)
{
    m_progress.progressed(soFar);
}

void RunKeeper::keepCamTable(const QByteArray &bytes, int rowsRecorded, OutcomeHandler done)
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
    onStore(
        [record = std::move(record)](StoreWorker &store) mutable {
            base::Result<bool> kept = store.keepCam(std::move(record));
            return kept ? base::Status{} : base::Status(kept.failure());
        },
        [done = std::move(done)](const base::Status &outcome) {
            if (done)
                done(outcome);
        });
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
    const QString id = record.id;
    onStore([record = std::move(record)](
                StoreWorker &store) mutable { return store.storeEnded(std::move(record)); },
            [this, id](const base::Status &done) {
                if (!done)
                    note(QStringLiteral("The run %1 could not be stored: %2. Its logs are kept "
                                        "until the next START.")
                             .arg(id.left(8), QString::fromStdString(done.error())));
            });
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

    return onStoreAndWait([unknown = std::move(unknown)](StoreWorker &store) mutable {
        return store.keepLogs(std::move(unknown));
    });
}

} // namespace runs
