#pragma once

#include "progress.h"

#include "base/result.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace runs {

class RunDatabase;

// Sends every run, then every cam table, waiting in the station's outbox to the plant, oldest
// first, and marks each as sent once the plant has it. A run that reached the plant but was not
// marked (the line broke in between) goes again, and the plant keeps its first copy: none is lost
// and none is there twice. Gives how many records were sent; stops at the first failure. `stop` is
// asked between records.
base::Result<int> sendWaiting(RunDatabase &station, RunDatabase &plant,
                              const std::function<bool()> &stop = {});

// The outbox's sender, on a thread of its own: a plant that cannot be reached holds up nothing
// else. Each send() tries once; what fails is told once, until it changes or sending works.
// It also carries the progress of the run under way, which is never kept for later.
class PlantSender : public QObject
{
    Q_OBJECT
public:
    PlantSender(QString stationPath, QString plantConnection);
    ~PlantSender() override;
    PlantSender(const PlantSender &) = delete;
    PlantSender &operator=(const PlantSender &) = delete;

    // Sends what waits. Call it on the sender's thread.
    void send();

    // Sends a run's progress once the thread is free, from any thread. A newer snapshot replaces
    // one that has not gone yet, and one that cannot be sent is dropped: only the latest counts.
    void offerProgress(const RunProgress &progress);

signals:
    void sent(int count);
    // A new reason why runs wait.
    void failed(const QString &reason);

private:
    base::Status sendOnce();
    base::Status openPlant();
    void sendProgress();

    QString m_stationPath;
    QString m_plantConnection;
    std::unique_ptr<RunDatabase> m_station;
    std::unique_ptr<RunDatabase> m_plant;
    QString m_lastFailure;
    QMutex m_progressLock;
    std::optional<RunProgress> m_progress; // under m_progressLock
};

} // namespace runs
