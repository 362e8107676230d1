#pragma once

#include "base/axiscount.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// A running-in log read back line by line: what each line says, and the lines that say nothing
// readable, with the reason.
namespace runlog {

enum class Axis { Zoom1, Zoom2, Iris, Focus };
enum class TestName { StepAscending, StepDescending, StrokeAscending, StrokeDescending };
using base::kAxisCount;
inline constexpr int kTestCount = 4;
inline constexpr std::array kAxes{Axis::Zoom1, Axis::Zoom2, Axis::Iris, Axis::Focus};
inline constexpr std::array kTests{TestName::StepAscending, TestName::StepDescending,
                                   TestName::StrokeAscending, TestName::StrokeDescending};

// "Zoom 1", "Iris", ...; "Step test ascending", ...
QString axisTitle(Axis axis);
QString testTitle(TestName test);

// One line that reads: a position reached or a position error.
struct Entry
{
    enum class Kind { Reached, Error };

    int line = 0; // in its file, from 1
    Kind kind = Kind::Reached;
    Axis axis = Axis::Zoom1;
    TestName test = TestName::StepAscending;
    // The position reached, or the position error. None for a position the controller did not
    // give ("###").
    std::optional<double> value;
    QString date, time;              // as written
    std::optional<QDateTime> moment; // none when the date or time text does not read here
    QString text;                    // the whole line, kept for error lines only
};

// A line that does not read, and why.
struct Unreadable
{
    QString file;
    int line = 0;
    QString text;
    QString why;
};

struct RunLog
{
    QString file; // its name, as the report shows it
    int lineCount = 0;
    std::vector<Entry> entries;
    std::vector<Unreadable> unreadable;
};

// Reads a log as the running-in test writes it: 8-bit text in the system's encoding, lines ended
// by CR LF, dates and times in `locale`'s short formats.
RunLog readLog(const QByteArray &bytes, const QString &fileName,
               const QLocale &locale = QLocale::system());

} // namespace runlog
