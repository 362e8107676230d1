#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {

// velmaro-sim on a pseudo-terminal in a private port directory, as COM<port>, for as long as this
// object lives. VELMARO_PORT_DIR points there so that the serial link finds it.
class SimulatorProcess
{
public:
    explicit SimulatorProcess(int port, const QStringList &options = {})
    {
        qputenv("VELMARO_PORT_DIR", m_dir.path().toLocal8Bit());
        m_process.start(QStringLiteral(VELMARO_SIM_PATH),
                        QStringList{"--port-dir", m_dir.path(), "--port", QString::number(port)} +
                            options);
        m_process.waitForReadyRead(10000);
        if (!QFileInfo(m_dir.filePath(QStringLiteral("COM%1").arg(port))).isSymLink())
            std::fprintf(stderr, "velmaro-sim did not start\n");
    }
    ~SimulatorProcess()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace bench
