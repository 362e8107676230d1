#include "sim/controller.h"
#include "sim/simlink.h"

#include "link/channel.h"
#include "testsupport/fakelink.h"

#include <gtest/gtest.h>

namespace sim::test {
namespace {

// Small errors of both signs, each with its sign place, as the channel reads them.
TEST(SimLinkChannel, QueryPositionErrorKeepsItsSignPlace)
{
    platform::VirtualClock clock;
    Controller controller;
    SimLink simLink(controller, clock);
    ASSERT_TRUE(simLink.open(1));
    testsupport::RecordingTone tone;
    comm::CommandChannel channel{simLink, clock, tone};
    bool sawNegative = false, sawPositive = false;
    for (int move = 1; move <= 30; ++move) {
        channel.SendLine("PAW=" + std::to_string(100 + move * 100) + ";BGW");
        clock.sleep(platform::Millis(500));
        channel.ReadAll();
        const std::string error = channel.QueryPositionError("W");
        ASSERT_TRUE(error.size() >= 2U && (error[0] == ' ' || error[0] == '-')) << error;
        EXPECT_LE(std::abs(std::stoi(error)), 8);
        sawNegative = sawNegative || error[0] == '-';
        sawPositive = sawPositive || (error[0] == ' ' && std::stoi(error) > 0);
    }
    EXPECT_TRUE(sawNegative && sawPositive);
}

} // namespace
} // namespace sim::test
