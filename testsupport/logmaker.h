#pragma once

#include "runin/loglines.h"
#include "runin/timestamp.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

#include <string>
#include <string_view>

namespace testsupport {

// Writes a running-in log as the test writes it: the same line texts and stamps, seconds apart.
struct LogMaker
{
    QLocale locale = QLocale::c();
    QDateTime now{QDate(2026, 3, 4), QTime(8, 0, 0)};
    int secondsPerLine = 3;
    QByteArray bytes;

    void reached(std::string_view axis, std::string_view test, const std::string &position)
    {
        add(runin::reachedLine(stamp(), axis, test, position));
    }
    void error(std::string_view axis, std::string_view test, const std::string &error)
    {
        add(runin::errorLine(stamp(), error, axis, test));
    }
    void add(const QString &line)
    {
        bytes += line.toLocal8Bit() + "\r\n";
        now = now.addSecs(secondsPerLine);
    }
    [[nodiscard]] runin::Stamp stamp() const { return runin::stampOf(now, locale); }

    // One zoom move: both motors reach the same value.
    void zoom(std::string_view test, int position)
    {
        reached(runin::kZoom1Axis, test, std::to_string(position));
        reached(runin::kZoom2Axis, test, std::to_string(position));
    }

    // A full-stroke cycle: zoom, iris and focus to their upper end and back.
    void cycle()
    {
        using namespace runin;
        zoom(kStrokeAscending, 500);
        zoom(kStrokeDescending, 75);
        reached(kIrisAxis, kStrokeAscending, "6");
        reached(kIrisAxis, kStrokeDescending, "1");
        reached(kFocusAxis, kStrokeAscending, "10100");
        reached(kFocusAxis, kStrokeDescending, "100");
    }
};

// The whole step test as the sequencer runs it, with a position error on a few moves.
inline QByteArray stepTestLog(LogMaker &log)
{
    using namespace runin;
    for (int k = 1; k <= 86; ++k) {
        log.zoom(kStepAscending, 75 + 5 * (k - 1));
        if (k == 3)
            log.error(kZoom1Axis, kStepAscending, "11");
        if (k == 40)
            log.error(kZoom2Axis, kStepAscending, "-57");
    }
    for (int k = 87; k <= 171; ++k)
        log.zoom(kStepDescending, 925 - 5 * (k - 1));
    log.error(kZoom1Axis, kStepDescending, "-23");
    for (int k = 1; k <= 6; ++k)
        log.reached(kIrisAxis, kStepAscending, std::to_string(k));
    for (int k = 7; k <= 11; ++k)
        log.reached(kIrisAxis, kStepDescending, std::to_string(12 - k));
    for (int k = 1; k <= 101; ++k)
        log.reached(kFocusAxis, kStepAscending, std::to_string(k * 100));
    for (int k = 102; k <= 201; ++k)
        log.reached(kFocusAxis, kStepDescending, std::to_string((201 - k) * 100));
    return log.bytes;
}

} // namespace testsupport
