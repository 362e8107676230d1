#include "plantsender.h"

#include "camstore.h"
#include "outbox.h"
#include "progressstore.h"
#include "rundatabase.h"
#include "runstore.h"

#include <QThread>

namespace runs {

base::Result<int> sendWaiting(RunDatabase &station, RunDatabase &plant,
                              const std::function<bool()> &stop)
{
    auto waiting = Outbox(station, kRunTable).waiting();
    if (!waiting)
        return waiting.failure();
    int sent = 0;
    for (const Waiting &run : *waiting) {
        if (stop && stop())
            break;
        auto record = RunStore(station).find(run.id);
        if (!record)
            return record.failure();
        // The plant first, then the mark: a break in between sends the run again, harmlessly.
        if (auto put = RunStore(plant).put(*record); !put)
            return put.failure();
        if (auto marked = Outbox(station, kRunTable).markSent(run); !marked)
            return marked.failure();
        ++sent;
    }
    auto tables = Outbox(station, kCamTable).waiting();
    if (!tables)
        return tables.failure();
    for (const Waiting &table : *tables) {
        if (stop && stop())
            break;
        auto record = CamStore(station).find(table.id);
        if (!record)
            return record.failure();
        if (auto put = CamStore(plant).put(*record); !put)
            return put.failure();
        if (auto marked = Outbox(station, kCamTable).markSent(table); !marked)
            return marked.failure();
        ++sent;
    }
    return sent;
}

PlantSender::PlantSender(QString stationPath, QString plantConnection)
    : m_stationPath(std::move(stationPath)), m_plantConnection(std::move(plantConnection))
{}

PlantSender::~PlantSender() = default;

void PlantSender::send()
{
    if (auto done = sendOnce(); !done) {
        const QString reason = QString::fromStdString(done.error());
        if (reason != m_lastFailure) {
            m_lastFailure = reason;
            emit failed(reason);
        }
    } else {
        m_lastFailure.clear();
    }
}

base::Status PlantSender::sendOnce()
{
    if (!m_station) {
        auto opened = RunDatabase::openStation(m_stationPath);
        if (!opened)
            return opened.failure();
        m_station = std::move(*opened);
    }
    if (auto plant = openPlant(); !plant)
        return base::fail(plant.kind(), plant.error() + "; the runs wait on this station and go later");
    auto sent = sendWaiting(*m_station, *m_plant,
                            [] { return QThread::currentThread()->isInterruptionRequested(); });
    if (!sent) {
        // The next try logs in afresh: the server may have gone and come back.
        m_plant.reset();
        return base::fail(sent.kind(), sent.error() + "; the runs wait on this station and go later");
    }
    if (*sent > 0)
        emit this->sent(*sent);
    return {};
}

base::Status PlantSender::openPlant()
{
    if (!m_plant) {
        auto opened = RunDatabase::openPlant(m_plantConnection);
        if (!opened)
            return opened.failure();
        m_plant = std::move(*opened);
    }
    return {};
}

void PlantSender::offerProgress(const RunProgress &progress)
{
    bool sendPending = false;
    {
        const QMutexLocker lock(&m_progressLock);
        sendPending = m_progress.has_value();
        m_progress = progress;
    }
    if (!sendPending)
        QMetaObject::invokeMethod(this, &PlantSender::sendProgress, Qt::QueuedConnection);
}

void PlantSender::sendProgress()
{
    std::optional<RunProgress> progress;
    {
        const QMutexLocker lock(&m_progressLock);
        progress.swap(m_progress);
    }
    if (!progress)
        return;
    // Dropped when it cannot go: the next one says more, and the run's record goes by the outbox.
    if (!openPlant() || !ProgressStore(*m_plant).put(*progress))
        m_plant.reset();
}

} // namespace runs
