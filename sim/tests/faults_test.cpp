#include "simfixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim::test {
namespace {

using platform::Millis;

TEST(ControllerFaults, NotInitialisedStillRunsTheHostsOwnMoves)
{
    Faults faults;
    faults.notInitialised = true;
    ControllerDriver d(faults);
    EXPECT_EQ(d.say("init = @OUT[01];init=?"), ": 0.0000\r\n");
    EXPECT_EQ(d.say("zoom=300"), ":");
    EXPECT_FALSE(d.controller.isMoving(0));
    // The host's own moves still run: the running-in needs no initialised lens.
    EXPECT_EQ(d.say("PAD = 10100;BGD"), "::");
    EXPECT_TRUE(d.controller.isMoving(3));
}

TEST(ControllerFaults, DelayedAndDroppedAnswers)
{
    Faults faults;
    faults.replyDelay = Millis(30);
    ControllerDriver delayed(faults);
    EXPECT_EQ(delayed.say("TPX"), "");
    delayed.wait(Millis(29));
    EXPECT_EQ(delayed.controller.pendingOutput(delayed.now), 0U);
    delayed.wait(Millis(1));
    EXPECT_EQ(delayed.controller.takeOutput(delayed.now), "0\r\n");

    // The time to the drop counts from the first line, not from power-up.
    faults = {};
    faults.dropAfter = Millis(500);
    ControllerDriver dropping(faults);
    dropping.wait(Millis(10000));
    EXPECT_EQ(dropping.say("TPX"), "0\r\n");
    dropping.wait(Millis(499));
    EXPECT_FALSE(dropping.controller.linkDropped(dropping.now));
    dropping.wait(Millis(1));
    EXPECT_TRUE(dropping.controller.linkDropped(dropping.now));
    EXPECT_EQ(dropping.say("TPX"), "");
}

TEST(ControllerFaults, GarbageReplacesEveryAnswerWithOnePieceOfJunk)
{
    Faults faults;
    faults.garbage = true;
    ControllerDriver d(faults);
    for (const char *line : {"TPX", "init = @OUT[01]", "FOO"}) {
        const std::string answer = d.say(line);
        ASSERT_GE(answer.size(), 3U) << line;
        EXPECT_NE(answer.front(), ':') << line;
        EXPECT_EQ(answer.find("\r\n"), answer.size() - 2) << line;
    }
    const std::string two = d.say("init = @OUT[01];init=?");
    EXPECT_NE(two.find("\r\n"), two.size() - 2);
}

TEST(ControllerFaults, EveryNthMoveEndsWithALargeError)
{
    Faults faults;
    faults.largeErrorEvery = 3;
    ControllerDriver d(faults);
    for (int move = 1; move <= 6; ++move) {
        d.say("PAX=" + std::to_string(move * 500) + ";BGX");
        d.waitForStandstill();
        d.say("erorre = _TEX");
        const double e = std::abs(*d.controller.variable("erorre"));
        EXPECT_TRUE(move % 3 == 0 ? e >= 15.0 && e <= 60.0 : e <= 8.0) << move << ": " << e;
    }
}

TEST(ControllerWireLog, OneEntryPerLineWithItsTimeFlushedAtOnce)
{
    const std::string path = testing::TempDir() + "velmaro_sim_wire.log";
    {
        ControllerDriver d;
        ASSERT_TRUE(d.controller.setLogFile(path));
        d.wait(Millis(1234));
        d.say("zoom = 75");
        d.wait(Millis(20));
        d.say("init = @OUT[01];init=?");
        std::ifstream log(path);
        std::stringstream text;
        text << log.rdbuf();
        EXPECT_EQ(text.str(), "1.234\tzoom = 75\n1.254\tinit = @OUT[01];init=?\n");
    }
    std::remove(path.c_str());
}

} // namespace
} // namespace sim::test
