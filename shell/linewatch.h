#pragma once

#include <QObject>
#include <QTimer>

#include <string>

namespace comm {
class SerialLink;
}

namespace shell {

// Watches the serial line for a device that vanishes (an adapter pulled, the controller's end
// gone) and, while it is gone, tries every half second to open the same port again, so that the
// program goes on by itself once a device is back under that name. Says what happened through
// its signals; what the windows make of it is the main window's business.
class LineWatch : public QObject
{
    Q_OBJECT
public:
    LineWatch(comm::SerialLink &link, QObject *parent = nullptr);
    // The link may outlive the watch; it is told of it no more.
    ~LineWatch() override;
    LineWatch(const LineWatch &) = delete;
    LineWatch &operator=(const LineWatch &) = delete;

    // From now on the open port, the one the operator chose, is watched.
    void watch();
    // Stops watching and gives up any reopening under way.
    void stop();

    // Lost until the port is open again: exactly while the reopening runs.
    [[nodiscard]] bool isLost() const { return m_reopen.isActive(); }

    // One attempt to open the port again; the timer makes one every half second while lost.
    void tryReopen();

signals:
    // Told once per loss, at once, while the handler that met the loss may still be running.
    void lost(const QString &reason);
    void back();

private:
    void onLost(const std::string &reason);

    comm::SerialLink &m_link;
    QTimer m_reopen;
};

} // namespace shell
