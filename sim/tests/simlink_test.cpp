#include "sim/controller.h"
#include "sim/simlink.h"

#include "link/channel.h"
#include "testsupport/fakelink.h"

#include <gtest/gtest.h>

namespace sim::test {
namespace {

using comm::Millis;

struct ChannelRig
{
    explicit ChannelRig(Faults faults = {}) : controller(faults), simLink(controller, clock)
    {
        EXPECT_TRUE(simLink.open(1));
    }
    comm::VirtualClock clock;
    Controller controller;
    SimLink simLink;
    testsupport::RecordingTone tone;
    comm::CommandChannel channel{simLink, clock, tone};
};

TEST(SimLinkChannel, QueryPositionErrorKeepsItsSignPlace)
{
    ChannelRig rig;
    bool sawNegative = false, sawPositive = false;
    for (int move = 1; move <= 30; ++move) {
        rig.channel.SendLine("PAW=" + std::to_string(100 + move * 100) + ";BGW");
        rig.clock.sleep(Millis(500));
        rig.channel.ReadAll();
        const std::string error = rig.channel.QueryPositionError("W");
        ASSERT_TRUE(error.size() >= 2U && (error[0] == ' ' || error[0] == '-')) << error;
        EXPECT_LE(std::abs(std::stoi(error)), 8);
        sawNegative = sawNegative || error[0] == '-';
        sawPositive = sawPositive || (error[0] == ' ' && std::stoi(error) > 0);
    }
    EXPECT_TRUE(sawNegative && sawPositive);
}

TEST(SimLinkPorts, HeldAndMissingPortsAreRefused)
{
    comm::VirtualClock clock;
    Controller controller;
    SimLink simLink(controller, clock);
    simLink.setAvailablePorts({1, 2});
    simLink.setHeldPorts({2});
    EXPECT_FALSE(simLink.open(3));
    EXPECT_FALSE(simLink.open(2));
    EXPECT_NE(simLink.errorString().find("in use"), std::string::npos);
    EXPECT_FALSE(simLink.write("TPX\r"));
    EXPECT_TRUE(simLink.open(1));
    EXPECT_TRUE(simLink.write("TPX\r"));
    EXPECT_EQ(simLink.takeAll(), "0\r\n");
}

TEST(SimLinkPorts, DropFailsWritesAndIsReportedOnce)
{
    Faults faults;
    faults.dropAfter = Millis(100);
    ChannelRig rig(faults);
    int failures = 0;
    rig.channel.setWriteFailureHandler([&failures](const std::string &) { ++failures; });
    EXPECT_EQ(rig.channel.QueryPosition("X"), "0");
    rig.clock.sleep(Millis(100));
    EXPECT_EQ(rig.channel.QueryPosition("X"), comm::kNoValue);
    EXPECT_EQ(rig.channel.QueryPosition("X"), comm::kNoValue);
    EXPECT_FALSE(rig.simLink.isOpen());
    EXPECT_EQ(rig.tone.beeps.size(), 1U); // the port event, once
    EXPECT_EQ(failures, 1);
    EXPECT_NE(rig.simLink.errorString().find("lost"), std::string::npos);
}

} // namespace
} // namespace sim::test
