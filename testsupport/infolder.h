#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace testsupport {

// A file's bytes; none when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the file whole, and the folders it needs; false when it cannot.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

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
