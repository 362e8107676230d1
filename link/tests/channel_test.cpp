// The command channel against the in-process controller and against scripted answers, all in
// virtual time.
#include "link/channel.h"
#include "sim/controller.h"
#include "sim/simlink.h"
#include "testsupport/fakelink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using comm::Millis;
using testing::ElementsAre;

class ChannelWithController : public testing::Test
{
protected:
    explicit ChannelWithController(sim::Faults faults = {}) : controller(faults)
    {
        simLink.open(1);
    }

    comm::VirtualClock clock;
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

class ChannelWithSilentController : public ChannelWithController
{
protected:
    ChannelWithSilentController() : ChannelWithController(silent()) {}

    static sim::Faults silent()
    {
        sim::Faults faults;
        faults.silent = true;
        return faults;
    }
};

TEST_F(ChannelWithSilentController, QueriesGiveTheNoValueMarkerAfterTheirWaits)
{
    const Millis start = clock.now();
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    EXPECT_EQ(clock.now() - start, Millis{20});
    EXPECT_EQ(channel.QueryPositionError("X"), "###");
    EXPECT_EQ(clock.now() - start, Millis{20 + 100 + 50});
}

class ChannelWithScriptedAnswers : public testing::Test
{
protected:
    ChannelWithScriptedAnswers() { fake.open(1); }

    comm::VirtualClock clock;
    testsupport::FakeLink fake{clock};
    testsupport::RecordingTone tone;
    comm::CommandChannel channel{fake, clock, tone};
};

TEST_F(ChannelWithScriptedAnswers, SendLine_WritesTheTextAndOneCarriageReturnInOnePiece)
{
    channel.SendLine("SH" + comm::AxisLetter(0));
    channel.SendLine("zoom = 75");
    EXPECT_THAT(fake.written, ElementsAre("SHX\r", "zoom = 75\r"));
}

TEST_F(ChannelWithScriptedAnswers, QueryPosition_CutsTheLastTwoCharactersWhateverTheyAre)
{
    fake.answer("-250ab", Millis{19});
    EXPECT_EQ(channel.QueryPosition("X"), "-250");
}

TEST_F(ChannelWithScriptedAnswers, QueryPosition_GivesNoValueForRepliesTooShortOrAcknowledgements)
{
    fake.answer("5");
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    fake.answer(":");
    EXPECT_EQ(channel.QueryPosition("X"), "###");
    EXPECT_EQ(channel.PendingCount(), 0);
}

TEST_F(ChannelWithScriptedAnswers, QueryPositionError_KeepsTheLeadingBlank)
{
    fake.answer(":", Millis{5});
    fake.answer(" 12.0000\r\n", Millis{120});
    EXPECT_EQ(channel.QueryPositionError("A"), " 12");
    EXPECT_THAT(fake.written, ElementsAre("erorre = _TEA\r", "erorre = ?\r"));
}

TEST_F(ChannelWithScriptedAnswers, QueryPositionError_DiscardsTheFirstReadEvenWhenEmpty)
{
    // The assignment's ':' arrives only after the first read; it then spoils the second.
    fake.answer(":", Millis{130});
    fake.answer(" 3.0000\r\n", Millis{140});
    EXPECT_EQ(channel.QueryPositionError("A"), "###");
    EXPECT_THAT(fake.operations, ElementsAre("write", "read", "write", "count", "read"));
}

TEST_F(ChannelWithScriptedAnswers, QueryPositionError_GivesNoValueWithoutADecimalPoint)
{
    fake.answer("12\r\n", Millis{120});
    EXPECT_EQ(channel.QueryPositionError("A"), "###");
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
    EXPECT_EQ(tone.beeps[0], std::make_pair(1000, Millis{50}));
    EXPECT_TRUE(fake.written.empty());
    EXPECT_EQ(channel.ReadAll(), "1234\r\n");
}

TEST(AxisLetter, NamesTheFourAxesAndNothingElse)
{
    EXPECT_EQ(comm::AxisLetter(0), "X");
    EXPECT_EQ(comm::AxisLetter(1), "Y");
    EXPECT_EQ(comm::AxisLetter(2), "Z");
    EXPECT_EQ(comm::AxisLetter(3), "W");
    EXPECT_EQ(comm::AxisLetter(4), "");
    EXPECT_EQ(comm::AxisLetter(-1), "");
}

} // namespace
