// The wire trace: every piece in order with its direction and time; the channel none the wiser.
#include "link/channel.h"
#include "link/tracinglink.h"

#include "testsupport/fakelink.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>

namespace comm::test {
namespace {

using testing::ElementsAre;

struct Traced
{
    explicit Traced(WireTrace &trace) : link(std::move(owned), trace) {}

    platform::VirtualClock clock;
    testsupport::RecordingTone tone;
    std::unique_ptr<testsupport::FakeLink> owned = std::make_unique<testsupport::FakeLink>(clock);
    testsupport::FakeLink &wire = *owned;
    TracingLink link;
    CommandChannel channel{link, clock, tone};
};

class Trace : public testing::Test
{
protected:
    void SetUp() override
    {
        // The stamps are local time: pin the zone so that the expected texts hold anywhere.
        setenv("TZ", "UTC", 1);
        tzset();
    }

    // Every recorded moment is 1.5 ms after the one before.
    std::unique_ptr<WireTrace> open()
    {
        auto trace = WireTrace::open(m_path, [this] {
            m_at += std::chrono::microseconds(1500);
            return m_at;
        });
        EXPECT_TRUE(trace) << trace.error();
        return trace ? std::move(trace).value() : nullptr;
    }

    [[nodiscard]] std::vector<std::string> lines() const
    {
        std::ifstream in(m_path);
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);)
            all.push_back(line);
        return all;
    }

    QTemporaryDir m_folder;
    const std::string m_path = m_folder.filePath("trace.txt").toStdString();
    // 2026-12-05 21:13:45.000 UTC
    std::chrono::system_clock::time_point m_at{std::chrono::seconds(1'796'505'225)};
};

TEST_F(Trace, AppendsEveryPieceSentAndTakenInOrderWithDirectionMillisecondAndEveryByte)
{
    std::ofstream(m_path) << "an earlier session\n";
    const auto trace = open();
    Traced traced(*trace);
    testsupport::FakeLink &wire = traced.wire;
    CommandChannel &channel = traced.channel;
    ASSERT_TRUE(traced.link.open(1));

    wire.answer(":");
    channel.SendLine("SHX");
    wire.answer("1234\r\n", platform::Millis{5});
    EXPECT_EQ(channel.QueryPosition("X"), kNoValue); // the ":" ahead of the value, as without
    wire.answer("-250\r\n", platform::Millis{5});
    EXPECT_EQ(channel.QueryPosition("X"), "-250");
    channel.ReadAll(); // nothing waiting: nothing traced
    trace->remark("velmaro 1.2.0 started");
    trace->received(std::string("\x01\xff\\ok", 5));

    EXPECT_THAT(wire.written, ElementsAre("SHX\r", "TPX\r", "TPX\r"));
    EXPECT_THAT(lines(), ElementsAre("an earlier session", "2026-12-05 21:13:45.001  -> SHX\\r",
                                     "2026-12-05 21:13:45.003  -> TPX\\r",
                                     "2026-12-05 21:13:45.004  <- :1234\\r\\n",
                                     "2026-12-05 21:13:45.006  -> TPX\\r",
                                     "2026-12-05 21:13:45.007  <- -250\\r\\n",
                                     "2026-12-05 21:13:45.009  -- velmaro 1.2.0 started",
                                     "2026-12-05 21:13:45.010  <- \\x01\\xFF\\\\ok"));
}

TEST_F(Trace, PortEventsAndALostLineStillReachTheChannel)
{
    const auto trace = open();
    Traced traced(*trace);
    std::string lost;
    traced.link.setLostHandler([&lost](const std::string &reason) { lost = reason; });
    ASSERT_TRUE(traced.link.open(3));
    traced.wire.raiseEvent();
    EXPECT_EQ(traced.tone.beeps.size(), 1U);
    traced.wire.loseLine();
    EXPECT_EQ(lost, "the connection on COM3 was lost");
    EXPECT_THAT(
        lines(),
        ElementsAre("2026-12-05 21:13:45.001  -- line lost: the connection on COM3 was lost"));
}

} // namespace
} // namespace comm::test
