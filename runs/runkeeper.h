#pragma once

#include "progress.h"
#include "runrecord.h"

#include "camtable/camrecorder.h"
#include "runin/runrecorder.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

namespace runs {

class PlantSender;
class StoreWorker;

// Where the keeper finds and puts things; the program's own by default.
struct KeeperSetup
{
    QString stationPath;     // the SQLite file
    QString plantConnection; // empty: no plant
    QString logFolder;       // where the running-in logs lie
    QString station, operatorName, version;
    std::function<QString()> port; // the port of a run that starts now
};

// Keeps every running-in run: stores it at the station when it ends (and, at the next START, a
// run the logs hold that is not stored yet), and sends it on to the plant. Keeps every saved cam
// table the same way. Both get the serial of the lens on the station. Storing and sending run on
// threads of their own; the user-interface thread only hands over and, at START, waits with its
// events going on.
class RunKeeper : public QObject, public runin::RunRecorder, public camtable::CamRecorder
{
    Q_OBJECT
public:
    explicit RunKeeper(KeeperSetup setup, QObject *parent = nullptr);
    ~RunKeeper() override;
    RunKeeper(const RunKeeper &) = delete;
    RunKeeper &operator=(const RunKeeper &) = delete;

    base::Status keepPreviousRun() override;
    void runStarted(bool singleStep, bool fullStroke) override;
    void runProgressed(const runin::RunSoFar &soFar) override;
    void runEnded(runin::RunEnding how, std::int32_t completedCycles) override;
    void setNoteHandler(Note note) override;
    void keepCamTable(const QByteArray &bytes, int rowsRecorded, OutcomeHandler done) override;

    // Returns when every record handed over so far is stored (or failed); for a clean end.
    void waitForStoring();

private:
    void note(const QString &text);
    // Asks the sender to send what waits now.
    void sendToPlant();
    // Runs `work` on the storing thread, after what was handed over before, and then `then` with
    // its outcome on this one.
    template <class Work, class Then> void onStore(Work work, Then then);
    // The same, waiting for the outcome with the window's events going on.
    template <class Work> auto onStoreAndWait(Work work);

    KeeperSetup m_setup;
    QThread m_storeThread;
    QThread m_sendThread;
    StoreWorker *m_store = nullptr;
    PlantSender *m_sender = nullptr;
    std::unique_ptr<RunRecord> m_current; // the run under way
    ProgressPacer m_progress;             // what the plant sees of it
    Note m_note;
    QStringList m_unheard; // notes from before anyone listened
};

} // namespace runs
