#include "detachedstarter.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace update {

namespace {

QString toQString(const std::filesystem::path &path)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    // The name's bytes as the file system holds them: u16string() throws on a folder name that is
    // not UTF-8.
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

#ifndef Q_OS_WIN
// Whoever may read the file may run it, as a freshly unpacked program would allow.
void makeExecutable(const QString &path)
{
    QFile::Permissions permissions = QFile::permissions(path);
    if (permissions & QFile::ReadOwner)
        permissions |= QFile::ExeOwner;
    if (permissions & QFile::ReadUser)
        permissions |= QFile::ExeUser;
    if (permissions & QFile::ReadGroup)
        permissions |= QFile::ExeGroup;
    if (permissions & QFile::ReadOther)
        permissions |= QFile::ExeOther;
    QFile::setPermissions(path, permissions);
}
#endif

} // namespace

base::Status DetachedStarter::start(const std::filesystem::path &program,
                                    const std::filesystem::path &workingDirectory)
{
    const QString path = toQString(program);
    if (!QFileInfo(path).isFile())
        return base::fail(base::FailureKind::NotFound, "the file is not there");
#ifndef Q_OS_WIN
    makeExecutable(path);
#endif

    QProcess process;
    process.setProgram(path);
    process.setWorkingDirectory(toQString(workingDirectory));
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        arguments->startupInfo->wShowWindow = SW_SHOWNORMAL;
    });
#endif
    if (!process.startDetached())
        return base::fail(base::FailureKind::Unavailable, process.errorString().toStdString());
    return {};
}

} // namespace update
