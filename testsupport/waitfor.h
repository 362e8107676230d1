#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace testsupport {

// Runs the event loop until `done` holds or two seconds have passed; gives `done`'s last value.
template <class Predicate> bool waitFor(Predicate done, int timeoutMs = 2000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

} // namespace testsupport
