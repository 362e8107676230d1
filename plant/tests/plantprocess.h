#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <httplib.h>

#include <memory>
#include <string>

namespace plant::test {

// velmaro-plant as a user starts it, on a port the system chooses, with a home of its own.
class PlantProcess
{
public:
    explicit PlantProcess(const QString &plantDatabase, const QStringList &extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", m_home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.remove("VELMARO_RUNS_DB");
        if (!plantDatabase.isEmpty())
            env.insert("VELMARO_RUNS_DB", plantDatabase);
        m_process.setProcessEnvironment(env);
        m_process.start(VELMARO_PLANT_PATH, QStringList{"--listen", "127.0.0.1:0"} + extra);
    }
    ~PlantProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
    }
    PlantProcess(const PlantProcess &) = delete;
    PlantProcess &operator=(const PlantProcess &) = delete;

    // Waits for "Listening on http://127.0.0.1:PORT/"; false when the program ended instead.
    bool ready()
    {
        static const QRegularExpression listening(
            QStringLiteral(R"(^Listening on http://127\.0\.0\.1:(\d+)/\n)"));
        while (m_process.waitForReadyRead(60000) || m_process.state() == QProcess::Running) {
            m_output += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(m_output));
            if (match.hasMatch()) {
                m_port = match.captured(1).toInt();
                m_client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
                m_client->set_read_timeout(60);
                return true;
            }
            if (m_process.state() != QProcess::Running)
                break;
        }
        return false;
    }

    httplib::Client &http() { return *m_client; }
    std::string get(const std::string &path)
    {
        auto res = m_client->Get(path);
        return res ? res->body : std::string();
    }
    QProcess &process() { return m_process; }
    [[nodiscard]] int port() const { return m_port; }
    QString home() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QByteArray m_output;
    int m_port = 0;
    std::unique_ptr<httplib::Client> m_client;
};

} // namespace plant::test
