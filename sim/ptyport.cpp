#include "ptyport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
constexpr mode_t kEveryoneReadWrite = 0666;
constexpr std::size_t kReadChunk = 4096;
} // namespace

PtyPort::~PtyPort()
{
    close();
}

base::Status PtyPort::fail(const std::string &what)
{
    base::Failure failure =
        base::fail(base::FailureKind::Unavailable, what + ": " + std::strerror(errno));
    close();
    return failure;
}

base::Status PtyPort::open(const std::string &folder, int portNumber)
{
    close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("cannot open a pseudo-terminal");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("cannot unlock the pseudo-terminal");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("the pseudo-terminal has no slave name");
    m_slaveName = name;
    m_slave = ::open(m_slaveName.c_str(), O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return fail("cannot open " + m_slaveName);

    // Raw: the controller's line carries bytes, not a terminal's lines; no echo, no CR mapping.
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return fail("cannot read the terminal settings");
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0)
        return fail("cannot make the terminal raw");
    if (::chmod(m_slaveName.c_str(), kEveryoneReadWrite) != 0)
        return fail("cannot open " + m_slaveName + " to everyone");
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("cannot make the pseudo-terminal non-blocking");

    const std::string linkPath = folder + "/COM" + std::to_string(portNumber);
    struct stat existing
    {
    };
    if (::lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            errno = EEXIST;
            return fail(linkPath + " exists and is not a link");
        }
        if (::unlink(linkPath.c_str()) != 0)
            return fail("cannot remove the old link " + linkPath);
    }
    if (::symlink(m_slaveName.c_str(), linkPath.c_str()) != 0)
        return fail("cannot create the link " + linkPath);
    m_linkPath = linkPath;
    return {};
}

void PtyPort::close()
{
    if (!m_linkPath.empty()) {
        ::unlink(m_linkPath.c_str());
        m_linkPath.clear();
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_unsent.clear();
}

std::string PtyPort::read()
{
    std::string data;
    if (m_master < 0)
        return data;
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return data; // EAGAIN: nothing more for now
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

void PtyPort::write(std::string_view data)
{
    m_unsent.append(data);
    flush();
}

void PtyPort::flush()
{
    while (m_master >= 0 && !m_unsent.empty()) {
        const ssize_t n = ::write(m_master, m_unsent.data(), m_unsent.size());
        if (n <= 0)
            return; // the terminal is full; the rest goes out later
        m_unsent.erase(0, static_cast<std::size_t>(n));
    }
}

} // namespace sim
