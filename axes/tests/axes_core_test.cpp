// The network address as typed, and the position readout's reading of the controller's answers.
#include "axes/ipaddress.h"
#include "axes/readout.h"

#include "link/channel.h"
#include "link/numbertext.h"
#include "testsupport/fakelink.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase
{
    const char *typed;
    const char *line; // nullptr: refused
};

class NetworkAddressTyped : public testing::TestWithParam<AddressCase>
{
};

TEST_P(NetworkAddressTyped, GivesTheLineOrIsRefused)
{
    const auto address = axes::parseNetworkAddress(GetParam().typed);
    if (GetParam().line == nullptr) {
        EXPECT_FALSE(address) << axes::setAddressLine(*address);
        return;
    }
    ASSERT_TRUE(address);
    EXPECT_EQ(axes::setAddressLine(*address), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, NetworkAddressTyped,
    testing::Values(AddressCase{"192.168.1.10", "IA192,168,1,10;BN"},
                    AddressCase{"010.001.002.003", "IA10,1,2,3;BN"},
                    AddressCase{"10. 1. 2. 3", "IA10,1,2,3;BN"},
                    AddressCase{" 10 .1.2.3 ", "IA10,1,2,3;BN"},
                    AddressCase{"0.0.0.0", "IA0,0,0,0;BN"},
                    AddressCase{"255.255.255.255", "IA255,255,255,255;BN"},
                    AddressCase{"+1.2.3.4", "IA1,2,3,4;BN"},
                    // The fourth field is everything after the third dot, rounded down.
                    AddressCase{"1.2.3.4.9", "IA1,2,3,4;BN"},
                    AddressCase{"1.2.3.255.9", "IA1,2,3,255;BN"}));

INSTANTIATE_TEST_SUITE_P(
    Refused, NetworkAddressTyped,
    testing::Values(AddressCase{"256.1.1.1", nullptr}, AddressCase{"1.1.1.256", nullptr},
                    AddressCase{"-1.2.3.4", nullptr}, AddressCase{"1.2.3.-0.5", nullptr},
                    AddressCase{"192.168.1", nullptr}, AddressCase{"192168110", nullptr},
                    AddressCase{".1.2.3", nullptr}, AddressCase{"1..2.3", nullptr},
                    AddressCase{"1.2.3.", nullptr}, AddressCase{"1.2.3. ", nullptr},
                    AddressCase{"a.1.2.3", nullptr}, AddressCase{"1.2x.3.4", nullptr},
                    AddressCase{"1.2.3.0x10", nullptr}, AddressCase{"1.2.3.inf", nullptr},
                    AddressCase{"1.2.3.nan", nullptr}, AddressCase{"1 2.3.4.5", nullptr},
                    AddressCase{"40000.1.1.1", nullptr}, AddressCase{"1e999.1.1.1", nullptr}));

TEST(NetworkAddress, IsConfirmedAsADottedQuadWithoutLeadingZeros)
{
    EXPECT_EQ(axes::dottedText(*axes::parseNetworkAddress("010.001.002.003")), "10.1.2.3");
}

TEST(WholeNumberFromText, IsTheNumberRoundedDownWhenItFits)
{
    EXPECT_EQ(comm::wholeNumberFromText("1234"), 1234);
    EXPECT_EQ(comm::wholeNumberFromText(" 1234"), 1234);
    EXPECT_EQ(comm::wholeNumberFromText("-250"), -250);
    EXPECT_EQ(comm::wholeNumberFromText("-2.5"), -3);
    EXPECT_EQ(comm::wholeNumberFromText("7.9"), 7);
    EXPECT_EQ(comm::wholeNumberFromText("2147483647"), 2147483647);
    EXPECT_EQ(comm::wholeNumberFromText("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(comm::wholeNumberFromText("2147483648"));
    EXPECT_FALSE(comm::wholeNumberFromText(""));
    EXPECT_FALSE(comm::wholeNumberFromText("?"));
    EXPECT_FALSE(comm::wholeNumberFromText("12, 40"));
    EXPECT_FALSE(comm::wholeNumberFromText("1234\r\n5678"));
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
