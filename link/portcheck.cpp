#include "portcheck.h"

#include "portmap.h"
#include "qtseriallink.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <vector>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace comm {

namespace {

#ifndef Q_OS_WIN
QString userName(uid_t uid)
{
    if (const passwd *entry = ::getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    if (const group *entry = ::getgrgid(gid))
        return QString::fromLocal8Bit(entry->gr_name);
    return QString::number(gid);
}

bool sessionHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    groups.resize(static_cast<std::size_t>(std::max(::getgroups(count, groups.data()), 0)));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// Membership as the group database has it now, which a session only learns at its next log-in.
bool databaseHasGroup(uid_t uid, gid_t gid)
{
    const passwd *entry = ::getpwuid(uid);
    if (!entry)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<std::size_t>(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

QString permissionReason(const QString &path, const struct stat &node)
{
    const uid_t uid = ::geteuid();
    const QString user = userName(uid);
    const QString group = groupName(node.st_gid);
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    // The usual case: serial devices belong to a group (dialout) whose members may use them.
    // Joining root's own group is no advice to give.
    if ((node.st_mode & kGroupReadWrite) == kGroupReadWrite && node.st_uid != uid &&
        node.st_gid != 0 && !sessionHasGroup(node.st_gid)) {
        if (databaseHasGroup(uid, node.st_gid))
            return QStringLiteral("permission denied: user '%1' is in group '%2', which owns %3, "
                                  "but this session began before that; log out and in again")
                .arg(user, group, path);
        return QStringLiteral("permission denied: %3 belongs to group '%2'; add user '%1' to it "
                              "(sudo adduser %1 %2) and log in again")
            .arg(user, group, path);
    }
    return QStringLiteral("permission denied: user '%1' may not read and write %2 "
                          "(owner %3, group %4, mode %5)")
        .arg(user, path, userName(node.st_uid), group)
        .arg(node.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

QString fileKind(mode_t mode)
{
    if (S_ISREG(mode))
        return QStringLiteral("a plain file");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("no device");
}

// The program holding an advisory lock on the device, as "name, process N", when the kernel's
// lock table names it.
QString lockHolder(const struct stat &node)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // Lines read "1: FLOCK  ADVISORY  WRITE 1234 00:19:7 0 EOF", the file as major:minor:inode
    // of its file system in hexadecimal, decimal inode.
    const QString file = QStringLiteral("%1:%2:%3")
                             .arg(major(node.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(minor(node.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(node.st_ino);
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QStringList fields =
            QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 6 || fields.at(1) != QLatin1String("FLOCK") || fields.at(5) != file)
            continue;
        const QString &pid = fields.at(4);
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString name = comm.open(QIODevice::ReadOnly)
                                 ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                 : QStringLiteral("a program");
        return QStringLiteral("%1, process %2").arg(name, pid);
    }
    return {};
}
#endif

// Why a port could not be opened, in the words of the port report.
struct Explanation
{
    PortFault fault;
    QString reason;
};

#ifndef Q_OS_WIN
// Nothing to look at where the port leads; `errno` is still the failed look's.
Explanation missingDevice(const PortCheck &check)
{
    if (errno == EACCES)
        return {PortFault::PermissionDenied,
                QStringLiteral("permission denied: a folder on the way to %1 is closed to user "
                               "'%2'")
                    .arg(check.device, userName(::geteuid()))};
    if (check.target.isEmpty())
        return {PortFault::NoDevice, QStringLiteral("no device there")};
    return {PortFault::NoDevice,
            QStringLiteral("no device there: the link leads to %1, which does not exist")
                .arg(check.target)};
}
#endif

Explanation explainFailure(const PortCheck &check, const QtSerialLink &link)
{
#ifndef Q_OS_WIN
    const QByteArray path = QFile::encodeName(check.device);
    // The device itself, where the messages speak of it.
    const QString &device = check.target.isEmpty() ? check.device : check.target;
    struct stat node
    {
    };
    if (::stat(path.constData(), &node) != 0)
        return missingDevice(check);
    if (link.refusedByLock()) {
        const QString holder = lockHolder(node);
        return {PortFault::InUse, holder.isEmpty()
                                      ? QStringLiteral("held by another program")
                                      : QStringLiteral("held by another program (%1)").arg(holder)};
    }
    if (!S_ISCHR(node.st_mode))
        return {
            PortFault::NotSerial,
            QStringLiteral("not a serial device: %1 is %2").arg(device, fileKind(node.st_mode))};
    if (::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES)
        return {PortFault::PermissionDenied, permissionReason(device, node)};
    // The device may be opened, yet was refused: a lock file or the terminal's exclusive flag.
    if (link.openError() == QSerialPort::PermissionError)
        return {PortFault::InUse, QStringLiteral("held by another program")};
#else
    if (link.refusedByLock() || link.openError() == QSerialPort::PermissionError)
        return {PortFault::InUse, QStringLiteral("held by another program, or permission denied")};
    if (link.openError() == QSerialPort::DeviceNotFoundError)
        return {PortFault::NoDevice, QStringLiteral("no device there")};
#endif
    // A character device that is no terminal (/dev/null), or a serial port with no hardware
    // behind it (a ttyS number the machine has no UART for).
    return {PortFault::NotSerial,
            QStringLiteral("not a serial device, or no hardware behind it (%1)")
                .arg(link.openErrorText())};
}

QString whereItLeads(const PortCheck &check)
{
    return check.target.isEmpty() ? check.device
                                  : check.device + QStringLiteral(" -> ") + check.target;
}

} // namespace

PortCheck checkPort(int portNumber)
{
    PortCheck check;
    check.portNumber = portNumber;
    check.device = portDevice(portNumber);
    const QFileInfo info(check.device);
    if (info.isSymLink()) {
        // Through every link to the device; where it leads nowhere, the first link's target.
        const QString device = info.canonicalFilePath();
        check.target = device.isEmpty() ? info.symLinkTarget() : device;
    }

    QtSerialLink link;
    if (link.open(portNumber)) {
        link.close();
        check.reason = QStringLiteral("usable");
        return check;
    }
    Explanation why = explainFailure(check, link);
    check.fault = why.fault;
    check.reason = std::move(why.reason);
    return check;
}

PortsReport reportPorts(int firstPort, int lastPort)
{
    std::vector<PortCheck> checks;
    qsizetype nameWidth = 0;
    qsizetype whereWidth = 0;
    for (int port = firstPort; port <= lastPort; ++port) {
        checks.push_back(checkPort(port));
        nameWidth = std::max(nameWidth, portName(port).size());
        whereWidth = std::max(whereWidth, whereItLeads(checks.back()).size());
    }

    PortsReport report;
    report.text = portMapDescription() + QLatin1Char('\n');
    for (const PortCheck &check : checks) {
        report.text += QStringLiteral("%1  %2  %3\n")
                           .arg(portName(check.portNumber).leftJustified(nameWidth),
                                whereItLeads(check).leftJustified(whereWidth), check.reason);
        if (check.fault == PortFault::None)
            ++report.usable;
    }
    report.text += QStringLiteral("%1 of %2 ports usable.\n").arg(report.usable).arg(checks.size());
    return report;
}

} // namespace comm
