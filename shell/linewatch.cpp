#include "linewatch.h"

#include "lenscheck.h"

#include "link/seriallink.h"

namespace shell {

namespace {
constexpr int kReopenIntervalMs = 500;
constexpr int kAskAgainIntervalMs = 2000;
} // namespace

LineWatch::LineWatch(comm::SerialLink &link, comm::CommandChannel &channel, platform::Clock &clock,
                     QObject *parent)
    : QObject(parent), m_link(link), m_channel(channel), m_clock(clock)
{
    // Found by name among the window's timers.
    m_reopen.setParent(this);
    m_reopen.setObjectName("reopen");
    m_askAgain.setParent(this);
    m_askAgain.setObjectName("askAgain");
    m_reopen.setInterval(kReopenIntervalMs);
    connect(&m_reopen, &QTimer::timeout, this, &LineWatch::tryReopen);
    m_askAgain.setInterval(kAskAgainIntervalMs);
    connect(&m_askAgain, &QTimer::timeout, this, &LineWatch::askLensAgain);
}

LineWatch::~LineWatch()
{
    stop();
}

void LineWatch::watch(int portNumber)
{
    m_portNumber = portNumber;
    m_link.setLostHandler([this](const std::string &reason) { onLost(reason); });
}

void LineWatch::stop()
{
    m_link.setLostHandler({});
    m_reopen.stop();
    m_askAgain.stop();
}

void LineWatch::onLost(const std::string &reason)
{
    if (isLost())
        return;
    m_askAgain.stop();
    m_reopen.start();
    emit lost(QString::fromStdString(reason));
}

void LineWatch::tryReopen()
{
    if (!isLost())
        return;
    // A device that is not back yet fails at once; nothing to tell until it is.
    if (!m_link.open(m_portNumber))
        return;
    m_reopen.stop();
    askLens(true);
}

void LineWatch::askLensAgain()
{
    if (isWaitingForLens())
        askLens(false);
}

void LineWatch::askLens(bool firstAfterReopen)
{
    const auto answer = checkLensInitialised(m_channel, m_clock);
    // Lost again while asking: the reopening has begun anew and says the rest.
    if (isLost())
        return;
    if (answer) {
        m_askAgain.stop();
        emit back();
        return;
    }
    if (firstAfterReopen) {
        m_askAgain.start();
        emit lensNotReady(QString::fromStdString(answer.error()));
    }
}

} // namespace shell
