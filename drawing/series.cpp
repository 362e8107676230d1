#include "series.h"

#include <algorithm>

namespace drawing {

using runlog::Axis;
using runlog::Entry;
using runlog::RunLog;

std::vector<Point> positionsOf(const RunLog &log, Axis axis)
{
    std::vector<Point> points;
    int move = 0;
    for (const Entry &entry : log.entries) {
        if (entry.kind != Entry::Kind::Reached || entry.axis != axis)
            continue;
        ++move;
        if (entry.value)
            points.push_back({static_cast<double>(move), *entry.value});
    }
    return points;
}

std::vector<Point> errorsOf(const RunLog &log, Axis axis, int &undated)
{
    std::vector<Point> points;
    undated = 0;
    for (const Entry &entry : log.entries) {
        if (entry.kind != Entry::Kind::Error || entry.axis != axis)
            continue;
        if (!entry.moment) {
            ++undated;
            continue;
        }
        points.push_back(
            {static_cast<double>(entry.moment->toMSecsSinceEpoch()), entry.value.value_or(0)});
    }
    return points;
}

std::vector<Point> thinned(const std::vector<Point> &points, std::size_t maxPoints)
{
    if (points.size() <= maxPoints || maxPoints < 2)
        return points;
    const std::size_t stretch = (points.size() * 2 + maxPoints - 1) / maxPoints;
    std::vector<Point> kept;
    kept.reserve(maxPoints + 2);
    for (std::size_t start = 0; start < points.size(); start += stretch) {
        const auto begin = points.begin() + static_cast<std::ptrdiff_t>(start);
        const auto end =
            points.begin() + static_cast<std::ptrdiff_t>(std::min(points.size(), start + stretch));
        const auto [low, high] = std::minmax_element(
            begin, end, [](const Point &a, const Point &b) { return a.y < b.y; });
        if (low < high) {
            kept.push_back(*low);
            kept.push_back(*high);
        } else if (high < low) {
            kept.push_back(*high);
            kept.push_back(*low);
        } else {
            kept.push_back(*low);
        }
    }
    return kept;
}

} // namespace drawing
