#pragma once

#include <QMetaObject>
#include <QTimer>

namespace testsupport {

// One tick of `timer`, as the event loop gives it when its interval has passed: whatever is
// connected to its timeout runs now, whether the timer runs or not.
inline void fire(QTimer *timer)
{
    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
}

} // namespace testsupport
