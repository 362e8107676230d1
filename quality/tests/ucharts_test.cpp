// The u-chart's centre, limits and flags against figures worked out by hand.
#include "quality/ucharts.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace quality::test {
namespace {

// Zoom 2 (axis 1) moves and errors of each run in start order; the other axes never move.
std::vector<RunCounts> zoom2Runs(const std::vector<std::pair<int, int>> &figures)
{
    std::vector<RunCounts> list;
    for (const auto &[moves, errors] : figures) {
        RunCounts run;
        run.run = QStringLiteral("r%1").arg(list.size() + 1);
        run.moves.at(1) = moves;
        run.axisErrors.at(1) = errors;
        list.push_back(run);
    }
    return list;
}

TEST(UChart, CentreLimitsAndFlagsAreTheHandWorkedOnes)
{
    // ū = 12/400 = 0.03; n = 100: 3·√(0.03/100) = 0.0519615, the lower limit 0; r3 moved not.
    // ū = 1200/120000 = 0.01; n = 10000: limits 0.013 and 0.007. r12's 0.019 is above its upper
    // limit and the 8th above the centre in a row (r6 moved not: no point, no break).
    const struct
    {
        std::vector<std::pair<int, int>> runs;
        double centre;
        std::vector<std::array<double, 3>> rateUclLcl; // of the first points
        std::vector<std::pair<QString, int>> flagged;
    } cases[] = {
        {{{100, 2}, {100, 0}, {0, 5}, {200, 10}},
         0.03,
         {{0.02, 0.0819615, 0}, {0, 0.0819615, 0}, {0.05, 0.0667423, 0}},
         {}},
        {{{10000, 60},
          {10000, 60},
          {10000, 60},
          {10000, 60},
          {10000, 110},
          {0, 0},
          {10000, 110},
          {10000, 110},
          {10000, 110},
          {10000, 110},
          {10000, 110},
          {10000, 110},
          {10000, 190}},
         0.01,
         {{0.006, 0.013, 0.007}, {0.006, 0.013, 0.007}},
         {{"r13", 1}, {"r13", 2}}},
        {{}, 0, {}, {}},
    };
    for (const auto &each : cases) {
        const UChart chart = uChart(zoom2Runs(each.runs), 1);
        EXPECT_NEAR(chart.centre, each.centre, 1e-9);
        for (std::size_t i = 0; i < each.rateUclLcl.size(); ++i) {
            EXPECT_NEAR(chart.points.at(i).rate, each.rateUclLcl.at(i)[0], 1e-7) << i;
            EXPECT_NEAR(chart.points.at(i).ucl, each.rateUclLcl.at(i)[1], 1e-7) << i;
            EXPECT_NEAR(chart.points.at(i).lcl, each.rateUclLcl.at(i)[2], 1e-7) << i;
        }
        std::vector<std::pair<QString, int>> flagged;
        for (const UFlag &flag : chart.flagged)
            flagged.emplace_back(flag.run, flag.rule);
        EXPECT_EQ(flagged, each.flagged);
        EXPECT_TRUE(uChart(zoom2Runs(each.runs), 0).points.empty()); // Zoom 1 never moved
    }
    const QJsonObject json = uChartJson("bench-1", "zoom2", uChart(zoom2Runs({{100, 3}}), 1));
    EXPECT_EQ(json.keys(), QStringList({"axis", "centre", "flagged", "points", "station"}));
    EXPECT_EQ(json["points"].toArray().at(0).toObject().keys(),
              QStringList({"errors", "lcl", "moves", "rate", "run", "start", "ucl"}));
}

} // namespace
} // namespace quality::test
