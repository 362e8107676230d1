#include "linewatch.h"

#include "link/modvariabili.h"
#include "link/seriallink.h"

namespace shell {

namespace {
constexpr int kReopenIntervalMs = 500;
} // namespace

LineWatch::LineWatch(comm::SerialLink &link, QObject *parent) : QObject(parent), m_link(link)
{
    m_reopen.setInterval(kReopenIntervalMs);
    connect(&m_reopen, &QTimer::timeout, this, &LineWatch::tryReopen);
}

LineWatch::~LineWatch()
{
    stop();
}

void LineWatch::watch()
{
    m_link.setLostHandler([this](const std::string &reason) { onLost(reason); });
}

void LineWatch::stop()
{
    m_link.setLostHandler({});
    m_reopen.stop();
}

void LineWatch::onLost(const std::string &reason)
{
    if (isLost())
        return;
    m_reopen.start();
    emit lost(QString::fromStdString(reason));
}

void LineWatch::tryReopen()
{
    if (!isLost())
        return;
    // A device that is not back yet fails at once; nothing to tell until it is.
    if (!m_link.open(modVariabili::PortNumber))
        return;
    m_reopen.stop();
    emit back();
}

} // namespace shell
