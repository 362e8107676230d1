#pragma once

#include "base/result.h"

#include <QString>

#include <array>
#include <vector>

namespace runin {

// The running-in test's two logs in the working directory. Every line is appended by opening,
// writing and closing the file, so that whatever is on disk is complete when a run is cut short.
// A file that cannot be written does not stop the run; it is told once per run.
class LogFiles
{
public:
    static constexpr const char *kComplete = "Log Complete.txt";
    static constexpr const char *kErrors = "Log Errors.txt";

    // A new run: "Log Errors.txt" is emptied, then "Log Complete.txt" (each created if missing).
    void startRun();

    void appendComplete(const QString &line);
    void appendErrors(const QString &line);

    // Files that failed for the first time in this run, each as "<name>" and why; gives each only
    // once.
    std::vector<QString> takeFailures();

private:
    enum File { Complete, Errors };

    static base::Status empty(File file);
    static base::Status append(File file, const QString &line);
    // Keeps a failure of `file` to be told, once per run.
    void note(File file, const base::Status &status);

    std::array<bool, 2> m_failed{};
    std::vector<QString> m_failures;
};

} // namespace runin
