#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include "testsupport/silentserver.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

namespace testsupport {

// A real PostgreSQL server of its own on a free loopback port, as an unprivileged user (it refuses
// root): initdb at construction, start() and kill() at will, stopped at the end.
class PgServer
{
public:
    static constexpr const char *kBin = "/usr/lib/postgresql/15/bin";
    static constexpr const char *kSystemUser = "velmaro-test";

    PgServer() : m_port(SilentServer().port()) // free once the probe has gone
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        if (geteuid() == 0) { // fails harmlessly once the user exists
            QProcess::execute("useradd", {"--system", "--no-create-home", "--shell",
                                          "/usr/sbin/nologin", kSystemUser});
            QProcess::execute("chown", {"-R", kSystemUser, m_dir.path()});
            QProcess::execute("chmod", {"755", m_dir.path()});
        }
        run("initdb", {"-D", dataDir(), "-A", "trust", "-U", "velmaro", "-E", "UTF8", "--no-sync"});
    }
    ~PgServer()
    {
        QProcess::execute(program("pg_ctl"),
                          arguments("pg_ctl", {"-D", dataDir(), "-m", "immediate", "-w", "stop"}));
    }
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    void start()
    {
        run("pg_ctl", {"-D", dataDir(), "-l", m_dir.filePath("server.log"), "-w", "-o",
                       QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                           .arg(m_port)
                           .arg(m_dir.path()),
                       "start"});
        if (!m_created) {
            run("createdb",
                {"-h", "127.0.0.1", "-p", QString::number(m_port), "-U", "velmaro", "plant"});
            m_created = true;
        }
    }

    // SIGKILL to the postmaster and every process it started, as a crash would: pg_ctl starts the
    // postmaster in a session of its own, so its process group holds them all.
    void kill()
    {
        QFile pidFile(dataDir() + "/postmaster.pid");
        if (!pidFile.open(QIODevice::ReadOnly))
            return;
        const pid_t group = pidFile.readLine().trimmed().toInt();
        if (group <= 1 || ::kill(-group, SIGKILL) != 0)
            return;
        // Gone for good before anyone starts it again.
        for (int i = 0; i < 3000 && ::kill(-group, 0) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QFile::remove(dataDir() + "/postmaster.pid");
    }

    [[nodiscard]] QString logFile() const { return m_dir.filePath("server.log"); }
    [[nodiscard]] QString connection(const QString &user = "velmaro") const
    {
        return QStringLiteral("host=127.0.0.1 port=%1 dbname=plant user=%2 connect_timeout=2")
            .arg(m_port)
            .arg(user);
    }

    [[nodiscard]] int port() const { return m_port; }

    // Once started: a login that must give its password over TCP and owns the plant's database.
    void addPasswordLogin(const QString &user, const QString &password)
    {
        QString quoted = password;
        quoted.replace(u'\'', QStringLiteral("''"));
        psql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(user, quoted));
        psql(QStringLiteral("ALTER DATABASE plant OWNER TO %1").arg(user));
        // The first line that matches decides, so this one goes before initdb's.
        QFile hba(dataDir() + "/pg_hba.conf");
        if (!hba.open(QIODevice::ReadWrite))
            throw std::runtime_error("cannot open pg_hba.conf");
        const QByteArray rest = hba.readAll();
        hba.seek(0);
        hba.write("host all " + user.toUtf8() + " 127.0.0.1/32 scram-sha-256\n" + rest);
        hba.close();
        psql("SELECT pg_reload_conf()");
    }

    QString psql(const QString &sql) const
    {
        QProcess process;
        startPsql(process, sql);
        process.waitForFinished(30000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    // Starts SQL on the plant with psql in `process` and returns at once.
    void startPsql(QProcess &process, const QString &sql) const
    {
        process.start(program("psql"),
                      arguments("psql", {"-h", "127.0.0.1", "-p", QString::number(m_port), "-U",
                                         "velmaro", "-d", "plant", "-tAc", sql}));
    }

    // A session of its own that runs `lock` (LOCK TABLE ...) in a transaction it keeps open until
    // the object goes, so that others wait on it; lockWaits() counts them.
    std::unique_ptr<QProcess> holding(const QString &lock) const
    {
        auto session = std::make_unique<QProcess>();
        session->start(program("psql"),
                       arguments("psql", {"-h", "127.0.0.1", "-p", QString::number(m_port), "-U",
                                          "velmaro", "-d", "plant", "-tAq"}));
        session->write(("BEGIN;\n" + lock + ";\nSELECT 'held';\n").toUtf8());
        QByteArray said;
        while (!said.contains("held") && session->waitForReadyRead(30000))
            said += session->readAllStandardOutput();
        if (!said.contains("held"))
            throw std::runtime_error("cannot hold " + lock.toStdString());
        return session;
    }
    int lockWaits() const
    {
        return psql("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'").toInt();
    }

private:
    [[nodiscard]] QString dataDir() const { return m_dir.filePath("data"); }

    static QString program(const QString &tool)
    {
        return geteuid() == 0 ? QStringLiteral("runuser") : QString(kBin) + '/' + tool;
    }
    static QStringList arguments(const QString &tool, const QStringList &args)
    {
        if (geteuid() != 0)
            return args;
        return QStringList{"-u", kSystemUser, "--", QString(kBin) + '/' + tool} + args;
    }

    void run(const QString &tool, const QStringList &args) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir.path());
        process.start(program(tool), arguments(tool, args));
        if (!process.waitForFinished(120000) || process.exitCode() != 0)
            throw std::runtime_error((tool + " failed: " + process.readAll()).toStdString());
    }

    QTemporaryDir m_dir{QDir::tempPath() + "/velmaro-pg-XXXXXX"};
    int m_port;
    bool m_created = false;
};

} // namespace testsupport
