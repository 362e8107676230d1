#pragma once

#include "runlog/runlog.h"

#include <cstddef>
#include <vector>

// The figures the charts draw, taken from a log. Thinning keeps long runs drawable: a 24-hour log
// has some 25,000 moves per axis, more than a page has points across.
namespace drawing {

struct Point
{
    double x = 0;
    double y = 0;

    friend bool operator==(const Point &, const Point &) = default;
};

// The axis's positions reached, move by move: x is the move's number on that axis, from 1. A move
// whose position the controller did not give has its number and no point.
std::vector<Point> positionsOf(const runlog::RunLog &log, runlog::Axis axis);

// The axis's errors over time: x is milliseconds since the epoch. Errors whose time does not
// read are left out; `undated` counts them.
std::vector<Point> errorsOf(const runlog::RunLog &log, runlog::Axis axis, int &undated);

// At most about `maxPoints` of `points` (ordered by x), keeping in each stretch its lowest and its
// highest point in their order, so that the drawn line spans the same band.
std::vector<Point> thinned(const std::vector<Point> &points, std::size_t maxPoints);

} // namespace drawing
