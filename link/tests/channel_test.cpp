// The command channel against the in-process controller and scripted answers, in virtual time.
#include "link/channel.h"
#include "sim/controller.h"
#include "sim/simlink.h"
#include "testsupport/fakelink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using platform::Millis;
using testing::ElementsAre;

class ChannelWithController : public testing::Test
{
protected:
    ChannelWithController() { EXPECT_TRUE(simLink.open(1)); }

    platform::VirtualClock clock;
    sim::Controller controller;
    sim::SimLink simLink{controller, clock};
    testsupport::RecordingTone tone;
    comm::CommandChannel channel{simLink, clock, tone};
};

TEST_F(ChannelWithController, QueryPosition_LosesValueBehindEarlierAcknowledgement)
{
    channel.SendLine("SHX");
    // The ':' of the enable line comes first, so the position behind it is lost with it...
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    EXPECT_EQ(channel.PendingCount(), 0);
    // ...and the next query, on an empty buffer, has its value.
    EXPECT_EQ(channel.QueryPosition("X"), std::to_string(controller.position(0)));
}

class ChannelWithScriptedAnswers : public testing::Test
{
protected:
    ChannelWithScriptedAnswers() { EXPECT_TRUE(fake.open(1)); }

    platform::VirtualClock clock;
    testsupport::FakeLink fake{clock};
    testsupport::RecordingTone tone;
    comm::CommandChannel channel{fake, clock, tone};
};

TEST_F(ChannelWithScriptedAnswers, QueryPosition_CutsTheLastTwoCharactersOrGivesNoValue)
{
    fake.answer("-250ab", platform::Millis{19});
    EXPECT_EQ(channel.QueryPosition("X"), "-250");
    fake.answer("5");
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    fake.answer(":");
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    EXPECT_EQ(channel.PendingCount(), 0);

    // Unanswered queries give the marker after their waits.
    const platform::Millis start = clock.now();
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    EXPECT_EQ(clock.now() - start, platform::Millis{20});
    EXPECT_EQ(channel.QueryPositionError("X"), "###");
    EXPECT_EQ(clock.now() - start, platform::Millis{20 + 100 + 50});
}

TEST_F(ChannelWithScriptedAnswers, QueryPositionError_KeepsTheLeadingBlankAndNeedsADecimalPoint)
{
    fake.answer(":", platform::Millis{5});
    fake.answer(" 12.0000\r\n", platform::Millis{120});
    EXPECT_EQ(channel.QueryPositionError("A"), " 12");
    EXPECT_THAT(fake.written, ElementsAre("erorre = _TEA\r", "erorre = ?\r"));

    fake.answer("12\r\n", platform::Millis{120});
    EXPECT_EQ(channel.QueryPositionError("A"), "###") << "no decimal point";
}

TEST_F(ChannelWithScriptedAnswers, QueryPositionError_DiscardsTheFirstReadEvenWhenEmpty)
{
    // The assignment's ':' arrives only after the first read; it then spoils the second.
    fake.answer(":", platform::Millis{130});
    fake.answer(" 3.0000\r\n", platform::Millis{140});
    EXPECT_EQ(channel.QueryPositionError("A"), "###");
    EXPECT_THAT(fake.operations, ElementsAre("write", "read", "write", "count", "read"));
}

TEST_F(ChannelWithScriptedAnswers, AFailedWriteIsReportedOnceUntilAWriteSucceeds)
{
    std::vector<std::string> reports;
    channel.setWriteFailureHandler([&](const std::string &reason) { reports.push_back(reason); });
    fake.failWrites(true);
    EXPECT_FALSE(channel.SendLine("SHX"));
    EXPECT_FALSE(channel.SendLine("SHY"));
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    EXPECT_EQ(reports.size(), 1U);
    EXPECT_FALSE(reports.front().empty());

    fake.failWrites(false);
    EXPECT_TRUE(channel.SendLine("SHZ"));
    fake.failWrites(true);
    channel.SendLine("SHW");
    EXPECT_EQ(reports.size(), 2U);
}

TEST_F(ChannelWithScriptedAnswers, EveryPortEventBeepsOnceAndChangesNothing)
{
    fake.answer("1234\r\n");
    fake.raiseEvent();
    fake.raiseEvent();
    ASSERT_EQ(tone.beeps.size(), 2U);
    EXPECT_EQ(tone.beeps[0], std::make_pair(1000, platform::Millis{50}));
    EXPECT_TRUE(fake.written.empty());
    EXPECT_EQ(channel.ReadAll(), "1234\r\n");
}

} // namespace
