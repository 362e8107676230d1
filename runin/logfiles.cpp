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
    note(Errors, empty(Errors));
    note(Complete, empty(Complete));
}

void LogFiles::appendComplete(const QString &line)
{
    note(Complete, append(Complete, line));
}

void LogFiles::appendErrors(const QString &line)
{
    note(Errors, append(Errors, line));
}

std::vector<QString> LogFiles::takeFailures()
{
    return std::exchange(m_failures, {});
}

base::Status LogFiles::empty(File file)
{
    QFile out(QString::fromLatin1(nameOf(file)));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return base::fail(base::FailureKind::Unavailable, out.errorString().toStdString());
    return {};
}

base::Status LogFiles::append(File file, const QString &line)
{
    // Binary mode: the line end is CR LF on every platform. The text goes out in the system's
    // 8-bit encoding.
    QFile out(QString::fromLatin1(nameOf(file)));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        return base::fail(base::FailureKind::Unavailable, out.errorString().toStdString());
    const QByteArray bytes = line.toLocal8Bit() + "\r\n";
    if (out.write(bytes) != bytes.size() || !out.flush())
        return base::fail(base::FailureKind::Unavailable, out.errorString().toStdString());
    return {};
}

void LogFiles::note(File file, const base::Status &status)
{
    if (status || m_failed.at(file))
        return;
    m_failed.at(file) = true;
    m_failures.push_back(
        QStringLiteral("\"%1\" cannot be written (%2); the test goes on without it.")
            .arg(QString::fromLatin1(nameOf(file)), QString::fromStdString(status.error())));
}

} // namespace runin
