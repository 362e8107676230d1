#include "simfixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim::test {
namespace {

using comm::Millis;

TEST(ControllerFaults, NotInitialisedReadsZeroAndTheProgramDoesNotMove)
{
    Faults faults;
    faults.notInitialised = true;
    ControllerDriver d(faults);
    EXPECT_EQ(d.say("init = @OUT[01];init=?"), ": 0.0000\r\n");
    EXPECT_EQ(d.say("allarme=?"), " 0.0000\r\n");
    EXPECT_EQ(d.say("zoom=300"), ":");
    EXPECT_FALSE(d.controller.isMoving(0));
    // The host's own moves still run: the running-in needs no initialised lens.
    EXPECT_EQ(d.say("PAD = 10100;BGD"), "::");
    EXPECT_TRUE(d.controller.isMoving(3));
}

TEST(ControllerFaults, AlarmIsReadAtTheThirdCharacter)
{
    Faults faults;
    faults.alarm = 3;
    ControllerDriver d(faults);
    const std::string ready = d.say("init = @OUT[01];init=?");
    EXPECT_EQ(ready, ": 0.0000\r\n");
    const std::string alarm = d.say("allarme=?");
    EXPECT_EQ(alarm, " 11.0000\r\n");
    EXPECT_EQ(alarm[2], '1');
    const std::string error = d.say("errore=?");
    EXPECT_EQ(error, " 13.0000\r\n");
    EXPECT_EQ(error[2], '3');

    ControllerDriver healthy;
    EXPECT_EQ(healthy.say("init = @OUT[01];init=?")[2], '1');
    EXPECT_NE(healthy.say("allarme=?")[2], '1');
}

TEST(ControllerFaults, SilentAnswersNothingButStillReceives)
{
    Faults faults;
    faults.silent = true;
    ControllerDriver d(faults);
    EXPECT_EQ(d.say("TPX"), "");
    EXPECT_EQ(d.say("zoom=200"), "");
    d.wait(Millis(5000));
    EXPECT_EQ(d.controller.pendingOutput(d.now), 0U);
    EXPECT_EQ(d.controller.receivedLines().size(), 2U);
}

TEST(ControllerFaults, DelayHoldsEveryAnswerBack)
{
    Faults faults;
    faults.replyDelay = Millis(30);
    ControllerDriver d(faults);
    EXPECT_EQ(d.say("TPX"), "");
    d.wait(Millis(29));
    EXPECT_EQ(d.controller.pendingOutput(d.now), 0U);
    d.wait(Millis(1));
    EXPECT_EQ(d.controller.pendingOutput(d.now), 3U);
    EXPECT_EQ(d.controller.takeOutput(d.now), "0\r\n");
}

TEST(ControllerFaults, GarbageReplacesEveryAnswer)
{
    Faults faults;
    faults.garbage = true;
    ControllerDriver d(faults);
    for (const char *line : {"TPX", "init = @OUT[01]", "erorre=?", "FOO"}) {
        const std::string answer = d.say(line);
        ASSERT_GE(answer.size(), 3U) << line;
        EXPECT_NE(answer.front(), ':') << line;
        EXPECT_EQ(answer.substr(answer.size() - 2), "\r\n");
        for (std::size_t i = 0; i + 2 < answer.size(); ++i) {
            EXPECT_GE(answer[i], '!');
            EXPECT_LE(answer[i], '~');
        }
    }
    // One piece of junk per answer.
    const std::string two = d.say("init = @OUT[01];init=?");
    EXPECT_NE(two.find("\r\n"), two.size() - 2);
}

TEST(ControllerFaults, EveryNthMoveEndsWithALargeError)
{
    Faults faults;
    faults.largeErrorEvery = 3;
    ControllerDriver d(faults);
    for (int move = 1; move <= 9; ++move) {
        d.say("PAX=" + std::to_string(move * 500) + ";BGX");
        d.waitForStandstill();
        d.say("erorre = _TEX");
        const double e = std::abs(*d.controller.variable("erorre"));
        if (move % 3 == 0) {
            EXPECT_GE(e, 15.0) << "move " << move;
            EXPECT_LE(e, 60.0) << "move " << move;
        } else {
            EXPECT_LE(e, 8.0) << "move " << move;
        }
    }
}

TEST(ControllerFaults, SameSeedSameErrors)
{
    auto errors = [](unsigned seed) {
        ControllerDriver d({}, {}, seed);
        std::string all;
        for (int move = 1; move <= 5; ++move) {
            d.say("PAZ=" + std::to_string(move * 100) + ";BGZ");
            d.waitForStandstill();
            all += d.say("erorre = _TEZ;erorre=?");
        }
        return all;
    };
    EXPECT_EQ(errors(7), errors(7));
}

TEST(ControllerFaults, DropEndsTheLineAfterTheFirstLine)
{
    Faults faults;
    faults.dropAfter = Millis(500);
    ControllerDriver d(faults);
    d.wait(Millis(10000)); // the time counts from the first line, not from power-up
    EXPECT_FALSE(d.controller.linkDropped(d.now));
    EXPECT_EQ(d.say("TPX"), "0\r\n");
    d.wait(Millis(499));
    EXPECT_FALSE(d.controller.linkDropped(d.now));
    EXPECT_EQ(d.say("TPX"), "0\r\n");
    d.wait(Millis(1));
    EXPECT_TRUE(d.controller.linkDropped(d.now));
    EXPECT_EQ(d.say("TPX"), "");
    EXPECT_EQ(d.controller.receivedLines().size(), 2U);
}

TEST(ControllerWireLog, OneEntryPerLineWithItsTime)
{
    const std::string path = testing::TempDir() + "velmaro_sim_wire.log";
    {
        ControllerDriver d;
        ASSERT_TRUE(d.controller.setLogFile(path));
        d.wait(Millis(1234));
        d.say("zoom = 75");
        d.wait(Millis(20));
        d.say("init = @OUT[01];init=?");
        // Flushed per line: readable while the controller lives.
        std::ifstream log(path);
        std::stringstream text;
        text << log.rdbuf();
        EXPECT_EQ(text.str(), "1.234\tzoom = 75\n1.254\tinit = @OUT[01];init=?\n");
    }
    std::remove(path.c_str());
}

} // namespace
} // namespace sim::test
