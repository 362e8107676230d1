#include "plantsender.h"

#include "rundatabase.h"

#include <QThread>

namespace runs {

base::Result<int> sendWaiting(RunDatabase &station, RunDatabase &plant,
                              const std::function<bool()> &stop)
{
    auto waiting = station.waiting();
    if (!waiting)
        return base::fail(waiting.error());
    int sent = 0;
    for (const Waiting &run : *waiting) {
        if (stop && stop())
            break;
        auto record = station.find(run.id);
        if (!record)
            return base::fail(record.error());
        // The plant first, then the mark: a break in between sends the run again, harmlessly.
        if (auto put = plant.put(*record); !put)
            return base::fail(put.error());
        if (auto marked = station.markSent(run); !marked)
            return base::fail(marked.error());
        ++sent;
    }
    auto tables = station.camWaiting();
    if (!tables)
        return base::fail(tables.error());
    for (const Waiting &table : *tables) {
        if (stop && stop())
            break;
        auto record = station.findCamRecord(table.id);
        if (!record)
            return base::fail(record.error());
        if (auto put = plant.putCamRecord(*record); !put)
            return base::fail(put.error());
        if (auto marked = station.markCamSent(table); !marked)
            return base::fail(marked.error());
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
            return base::fail(opened.error());
        m_station = std::move(*opened);
    }
    if (!m_plant) {
        auto opened = RunDatabase::openPlant(m_plantConnection);
        if (!opened)
            return base::fail(opened.error() + "; the runs wait on this station and go later");
        m_plant = std::move(*opened);
    }
    auto sent = sendWaiting(*m_station, *m_plant,
                            [] { return QThread::currentThread()->isInterruptionRequested(); });
    if (!sent) {
        // The next try logs in afresh: the server may have gone and come back.
        m_plant.reset();
        return base::fail(sent.error() + "; the runs wait on this station and go later");
    }
    if (*sent > 0)
        emit this->sent(*sent);
    return {};
}

} // namespace runs
