#pragma once

#include "runin/loglines.h"
#include "runin/timestamp.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

#include <string>
#include <string_view>

namespace report::test {

// Writes a running-in log as the test writes it, with the same line texts and stamps, a few
// seconds per line.
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
    runin::Stamp stamp() const { return runin::stampOf(now, locale); }

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

} // namespace report::test
