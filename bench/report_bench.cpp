// velmaro-report on a 24-hour full-stroke run: some 100,000 log lines written with the running-in
// test's own line code, then the report made by the real program. Prints the wall time and the
// report's peak memory; asserts nothing. `report_bench FOLDER` leaves the log and the PDF there.
#include "runin/loglines.h"
#include "runin/timestamp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr int kLines = 100'000;
constexpr qint64 kRunMs = 24LL * 3600 * 1000;

// Full-stroke cycles with a small position error now and then, until `kLines` lines stand.
QByteArray fullStrokeDay()
{
    using namespace runin;
    QByteArray bytes;
    QDateTime now(QDate(2026, 3, 4), QTime(8, 0));
    const QDateTime start = now;
    int lines = 0, moves = 0;
    auto add = [&](const QString &line) {
        bytes += line.toLocal8Bit() + "\r\n";
        now = start.addMSecs(kRunMs * ++lines / kLines);
    };
    std::uint32_t random = 12345;
    auto next = [&random] { return (random = random * 1103515245U + 12345U) >> 16; };
    auto move = [&](std::string_view axis, std::string_view test, int position) {
        add(reachedLine(stampOf(now), axis, test, std::to_string(position + int(next() % 7) - 3)));
        ++moves;
        if (next() % 1000 == 0) {
            const int size = 11 + int(next() % 50);
            add(errorLine(stampOf(now), std::to_string(next() % 2 == 0 ? size : -size), axis,
                          test));
        }
    };
    while (lines < kLines) {
        for (const auto &[test, zoom] :
             {std::pair{kStrokeAscending, 500}, {kStrokeDescending, 75}}) {
            move(kZoom1Axis, test, zoom * 100);
            move(kZoom2Axis, test, zoom * -60);
        }
        move(kIrisAxis, kStrokeAscending, 6000);
        move(kIrisAxis, kStrokeDescending, 1000);
        move(kFocusAxis, kStrokeAscending, 10100);
        move(kFocusAxis, kStrokeDescending, 100);
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QTemporaryDir temporary;
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    const QString log = dir.filePath(QStringLiteral("Log Complete.txt"));
    QFile file(log);
    if (!file.open(QIODevice::WriteOnly) || file.write(fullStrokeDay()) < 0)
        return 1;
    file.close();

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const QByteArray path = log.toLocal8Bit();
        execl(VELMARO_REPORT_PATH, "velmaro-report", path.constData(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto pdfSize = QFile(dir.filePath(QStringLiteral("Log Complete.pdf"))).size();
    std::printf("velmaro-report on %d lines: exit %d, %.2f s, peak memory %.1f MB, PDF %.0f kB\n",
                kLines, WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds,
                static_cast<double>(usage.ru_maxrss) / 1024.0,
                static_cast<double>(pdfSize) / 1024.0);
    return 0;
}
