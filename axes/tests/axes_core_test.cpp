// The network address as typed, and the position readout's reading of the controller's answers.
#include "axes/ipaddress.h"
#include "axes/readout.h"

#include "base/numbertext.h"
#include "link/channel.h"
#include "testsupport/fakelink.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkAddress, TypedGivesTheLineAndItsConfirmation_OrIsRefused)
{
    for (const auto &[typed, line] : std::vector<std::pair<const char *, const char *>>{
             {"010.001.002.003", "IA10,1,2,3;BN"},
             {" 10 .1. 2.3 ", "IA10,1,2,3;BN"},
             {"0.0.0.0", "IA0,0,0,0;BN"},
             {"255.255.255.255", "IA255,255,255,255;BN"},
             {"+1.2.3.4", "IA1,2,3,4;BN"},
             // The fourth field is everything after the third dot, rounded down.
             {"1.2.3.4.9", "IA1,2,3,4;BN"},
             {"1.2.3.255.9", "IA1,2,3,255;BN"}}) {
        const auto address = axes::parseNetworkAddress(typed);
        ASSERT_TRUE(address) << typed;
        EXPECT_EQ(axes::setAddressLine(*address), line);
    }
    EXPECT_EQ(axes::dottedText(*axes::parseNetworkAddress("010.001.002.003")), "10.1.2.3");

    for (const char *typed :
         {"256.1.1.1", "1.1.1.256", "-1.2.3.4", "1.2.3.-0.5", "192.168.1", "192168110", ".1.2.3",
          "1..2.3", "1.2.3.", "1.2.3. ", "a.1.2.3", "1.2x.3.4", "1.2.3.0x10", "1.2.3.inf",
          "1.2.3.nan", "1 2.3.4.5", "40000.1.1.1", "1e999.1.1.1"})
        EXPECT_FALSE(axes::parseNetworkAddress(typed)) << typed;
}

TEST(WholeNumberFromText, IsTheNumberRoundedDownWhenItFits)
{
    for (const auto &[text, number] :
         std::vector<std::pair<const char *, int>>{{"1234", 1234},
                                                   {" 1234", 1234},
                                                   {"-250", -250},
                                                   {"-2.5", -3},
                                                   {"7.9", 7},
                                                   {"2147483647", 2147483647},
                                                   {"-2147483648", -2147483647 - 1}})
        EXPECT_EQ(base::wholeNumberFromText(text), number) << text;
    for (const char *text : {"2147483648", "", "?", "12, 40", "1234\r\n5678"})
        EXPECT_FALSE(base::wholeNumberFromText(text)) << text;
}

class ReadoutAnswer : public testing::Test
{
protected:
    std::optional<axes::PositionReading> read() { return axes::readPosition(channel, "X"); }

    platform::VirtualClock clock;
    testsupport::FakeLink link{clock};
    testsupport::RecordingTone tone;
    comm::CommandChannel channel{link, clock, tone};

    void SetUp() override { ASSERT_TRUE(link.open(1)); }
};

TEST_F(ReadoutAnswer, WaitsTwentyMillisecondsForALateAnswer)
{
    link.answer("99\r\n", platform::Millis{20});
    EXPECT_EQ(read()->position, 99);
    link.answer("98\r\n", platform::Millis{21});
    EXPECT_FALSE(read());
}

} // namespace
