#pragma once

#include <QObject>
#include <QTimer>

#include <string>

namespace comm {
class CommandChannel;
class SerialLink;
} // namespace comm

namespace platform {
class Clock;
} // namespace platform

namespace shell {

// Watches the serial line for a device that vanishes (an adapter pulled, the controller's end
// gone) and, while it is gone, tries every half second to open the same port again. A port that
// opens again may lead to a controller that was reset meanwhile, so before anything else goes out
// the lens is asked whether it is ready, as at start-up; while it is not, it is asked again every
// 2 s. Says what happened through its signals; what the windows make of it is the main window's
// business.
class LineWatch : public QObject
{
    Q_OBJECT
public:
    LineWatch(comm::SerialLink &link, comm::CommandChannel &channel, platform::Clock &clock,
              QObject *parent = nullptr);
    // The link may outlive the watch; it is told of it no more.
    ~LineWatch() override;
    LineWatch(const LineWatch &) = delete;
    LineWatch &operator=(const LineWatch &) = delete;

    // From now on the open port, the one the operator chose, is watched; a lost line is opened
    // again on that port.
    void watch(int portNumber);
    // Stops watching and gives up any reopening or asking under way.
    void stop();

    // Lost until the port is open again: exactly while the reopening runs.
    [[nodiscard]] bool isLost() const { return m_reopen.isActive(); }
    // The port is back but the lens was not ready when last asked.
    [[nodiscard]] bool isWaitingForLens() const { return m_askAgain.isActive(); }

signals:
    // Told once per loss, at once, while the handler that met the loss may still be running.
    void lost(const QString &reason);
    // The port is open again and the lens has answered that it is ready.
    void back();
    // The port is open again but the lens is not ready: told once per return, with the text the
    // start-up shows for that answer. It is asked again until it is ready, then back() follows.
    void lensNotReady(const QString &message);

private slots:
    // One attempt to open the port again; the timer "reopen" makes one every half second while
    // lost.
    void tryReopen();
    // Asks the lens once more while waiting for it; the timer "askAgain" asks every 2 s.
    void askLensAgain();

private:
    void onLost(const std::string &reason);
    void askLens(bool firstAfterReopen);

    comm::SerialLink &m_link;
    comm::CommandChannel &m_channel;
    int m_portNumber = 0;
    platform::Clock &m_clock;
    QTimer m_reopen;
    QTimer m_askAgain;
};

} // namespace shell
