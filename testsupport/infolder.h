#pragma once

#include <QDir>
#include <QTemporaryDir>

namespace testsupport {

// The program writes its logs where it runs: a folder of the test's own, left again on every path.
class InTemporaryFolder
{
public:
    InTemporaryFolder() { QDir::setCurrent(m_dir.path()); }
    ~InTemporaryFolder() { QDir::setCurrent(m_home); }
    InTemporaryFolder(const InTemporaryFolder &) = delete;
    InTemporaryFolder &operator=(const InTemporaryFolder &) = delete;

    [[nodiscard]] QString filePath(const QString &name) const { return m_dir.filePath(name); }
    [[nodiscard]] QString path() const { return m_dir.path(); }

private:
    QString m_home = QDir::currentPath();
    QTemporaryDir m_dir;
};

} // namespace testsupport
