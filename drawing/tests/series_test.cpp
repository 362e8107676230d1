// The charts' figures: a long run thinned to what a page can draw.
#include "drawing/series.h"

#include "testsupport/logmaker.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace drawing::test {
namespace {

TEST(Series, PositionsAreNumberedMoveByMove)
{
    testsupport::LogMaker maker;
    const runlog::RunLog log = runlog::readLog(testsupport::stepTestLog(maker),
                                               QStringLiteral("Log Complete.txt"), QLocale::c());
    const std::vector<Point> focus = positionsOf(log, runlog::Axis::Focus);
    ASSERT_EQ(focus.size(), 201u);
    EXPECT_EQ(focus.at(100), (Point{101, 10100}));
}

TEST(Series, ThinningKeepsEachStretchsExtremesInOrder)
{
    std::vector<Point> points;
    points.reserve(10'000);
    for (int i = 0; i < 10'000; ++i)
        points.push_back({static_cast<double>(i), i % 2 == 0 ? 75.0 : 500.0});
    points.at(5'000).y = 900;
    const std::vector<Point> kept = thinned(points, 100);
    EXPECT_LE(kept.size(), 102u);
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(),
                               [](const Point &a, const Point &b) { return a.x < b.x; }));
    EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [](const Point &p) { return p.y == 900; }));
    EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [](const Point &p) { return p.y == 75; }));
}

} // namespace
} // namespace drawing::test
