#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace testsupport {

// Runs the event loop until `done` holds, at most 30 s (a deadline for a stuck test on a busy
// machine, never a measure: it returns as soon as `done` holds); gives `done`'s last value.
template <class Predicate> bool waitFor(Predicate done, int timeoutMs = 30000)
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
