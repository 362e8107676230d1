#include "logfiles.h"

#include <QFile>

#include <utility>

namespace runin {

namespace {
const char *nameOf(int file)
{
    return file == 0 ? LogFiles::kComplete : LogFiles::kErrors;
}
} // namespace

void LogFiles::startRun()
{
    m_failed = {};
    empty(Errors);
    empty(Complete);
}

void LogFiles::appendComplete(const QString &line)
{
    append(Complete, line);
}

void LogFiles::appendErrors(const QString &line)
{
    append(Errors, line);
}

std::vector<QString> LogFiles::takeFailures()
{
    return std::exchange(m_failures, {});
}

void LogFiles::empty(File file)
{
    QFile out(QString::fromLatin1(nameOf(file)));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(file, out.errorString());
}

void LogFiles::append(File file, const QString &line)
{
    // Binary mode: the line end is CR LF on every platform. The text goes out in the system's
    // 8-bit encoding.
    QFile out(QString::fromLatin1(nameOf(file)));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append)) {
        fail(file, out.errorString());
        return;
    }
    const QByteArray bytes = line.toLocal8Bit() + "\r\n";
    if (out.write(bytes) != bytes.size() || !out.flush())
        fail(file, out.errorString());
}

void LogFiles::fail(File file, const QString &why)
{
    if (m_failed.at(file))
        return;
    m_failed.at(file) = true;
    m_failures.push_back(
        QStringLiteral("\"%1\" cannot be written (%2); the test goes on without it.")
            .arg(QString::fromLatin1(nameOf(file)), why));
}

} // namespace runin
