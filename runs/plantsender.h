#pragma once

#include "base/result.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace runs {

class RunDatabase;

// Sends every run, then every cam table, waiting in the station's outbox to the plant, oldest
// first, and marks each as sent once the plant has it. A run that reached the plant but was not marked (the line broke in
// between) goes again, and the plant keeps its first copy: none is lost and none is there twice.
// Gives how many records were sent; stops at the first failure. `stop` is asked between records.
base::Result<int> sendWaiting(RunDatabase &station, RunDatabase &plant,
                              const std::function<bool()> &stop = {});

// The outbox's sender, on a thread of its own: a plant that cannot be reached holds up nothing
// else. Each send() tries once; what fails is told once, until it changes or sending works.
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

signals:
    void sent(int count);
    // A new reason why runs wait.
    void failed(const QString &reason);

private:
    base::Status sendOnce();

    QString m_stationPath;
    QString m_plantConnection;
    std::unique_ptr<RunDatabase> m_station;
    std::unique_ptr<RunDatabase> m_plant;
    QString m_lastFailure;
};

} // namespace runs
