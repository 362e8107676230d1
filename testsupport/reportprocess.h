#pragma once

// Needs VELMARO_REPORT_PATH, the built program, as a compile definition of the test.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include <map>

namespace testsupport {

struct ReportAnswer
{
    int status = -1;
    QByteArray out, err;
    [[nodiscard]] std::string said() const { return (out + err).toStdString(); }
};

// velmaro-report as the user runs it, in `home` with its data and configuration folders there,
// with `environment` added to ours (an empty value removes the variable).
inline ReportAnswer runReport(const QStringList &arguments, const QString &home,
                              const std::map<QString, QString> &environment = {})
{
    QProcess process;
    auto variables = QProcessEnvironment::systemEnvironment();
    variables.insert("XDG_DATA_HOME", QDir(home).filePath("data"));
    variables.insert("XDG_CONFIG_HOME", QDir(home).filePath("config"));
    for (const auto &[name, value] : environment)
        value.isEmpty() ? variables.remove(name) : variables.insert(name, value);
    process.setProcessEnvironment(variables);
    process.setWorkingDirectory(home);
    process.start(VELMARO_REPORT_PATH, arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace testsupport
