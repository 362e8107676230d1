#include "summary.h"

#include <QHash>

#include <cmath>

namespace runlog {

namespace {

std::size_t indexOf(Axis axis)
{
    return static_cast<std::size_t>(axis);
}

LogMoment momentOf(const Entry &entry)
{
    return {entry.date + QStringLiteral("  ") + entry.time, entry.moment};
}

} // namespace

Summary summarise(const RunLog &log)
{
    Summary summary;
    summary.lines = log.lineCount;
    summary.entries = static_cast<int>(log.entries.size());
    summary.unreadable = static_cast<int>(log.unreadable.size());
    if (log.entries.empty())
        return summary;
    summary.first = momentOf(log.entries.front());
    summary.last = momentOf(log.entries.back());
    if (summary.first->moment && summary.last->moment)
        summary.durationMs = summary.first->moment->msecsTo(*summary.last->moment);

    for (const Entry &entry : log.entries) {
        if (entry.kind == Entry::Kind::Reached) {
            ++summary.moves.at(indexOf(entry.axis)).at(static_cast<std::size_t>(entry.test));
            // A full-stroke cycle ends with the focus back at its lower end.
            if (entry.axis == Axis::Focus && entry.test == TestName::StrokeDescending)
                ++summary.completedCycles;
            continue;
        }
        const double error = std::abs(entry.value.value_or(0));
        if (error <= runin::kErrorThreshold)
            continue;
        AxisErrors &errors = summary.errors.at(indexOf(entry.axis));
        ++errors.count;
        errors.largest = std::max(errors.largest.value_or(0), error);
    }
    return summary;
}

QString durationText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1 h %2 min %3 s")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

ErrorsCheck compareErrorLogs(const RunLog &complete, const RunLog &errors)
{
    // Both logs get the same words for the same error; a line may stand in each more than once.
    QHash<QString, std::vector<int>> inComplete;
    for (const Entry &entry : complete.entries)
        if (entry.kind == Entry::Kind::Error)
            inComplete[entry.text].push_back(entry.line);
    for (auto &lines : inComplete)
        std::reverse(lines.begin(), lines.end());

    ErrorsCheck check;
    for (const Entry &entry : errors.entries) {
        if (entry.kind != Entry::Kind::Error) {
            check.notErrorLines.push_back(entry.line);
            continue;
        }
        ++check.errorLines;
        auto found = inComplete.find(entry.text);
        if (found == inComplete.end() || found->empty()) {
            check.onlyInErrors.push_back(entry.line);
            continue;
        }
        found->pop_back();
    }
    for (const auto &lines : std::as_const(inComplete))
        check.onlyInComplete.insert(check.onlyInComplete.end(), lines.begin(), lines.end());
    std::sort(check.onlyInComplete.begin(), check.onlyInComplete.end());
    return check;
}

} // namespace runlog
