#pragma once

#include <QObject>
#include <QString>

#include <stdexcept>

namespace testsupport {

// The control or timer named `name` within `root`, found as a user finds it: by its given name,
// not through the part that owns it. A missing one ends the test with its name.
template <class T> T *child(const QObject *root, const QString &name)
{
    T *found = root->findChild<T *>(name);
    if (found == nullptr)
        throw std::runtime_error("no " + name.toStdString() + " in " +
                                 root->objectName().toStdString());
    return found;
}

} // namespace testsupport
