#include "simfixture.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace sim::test {
namespace {

using comm::Millis;
constexpr int kZoom1 = 0;
constexpr int kZoom2 = 1;
constexpr int kIris = 2;
constexpr int kFocus = 3;

TEST(ControllerMotion, ZoomMovesBothAxesToTheirCamPositionsAndStops)
{
    ControllerDriver d;
    const auto [x, y] = ResidentProgram::zoomCam(120.0);
    ASSERT_GT(x, 0);
    ASSERT_LT(y, 0);

    EXPECT_EQ(d.say("zoom = 120"), ":");
    std::vector<long> seenX;
    for (int i = 0; i < 6; ++i) {
        d.wait(Millis(50));
        seenX.push_back(d.controller.position(kZoom1));
    }
    // Under way the positions change and stay between start and end.
    EXPECT_GT(std::set<long>(seenX.begin(), seenX.end()).size(), 3U);
    EXPECT_TRUE(d.controller.isMoving(kZoom1));
    EXPECT_GT(d.controller.position(kZoom1), 0);
    EXPECT_LT(d.controller.position(kZoom1), x);

    const Millis rest = d.waitForStandstill();
    ASSERT_GE(rest.count(), 0);
    const Millis total = Millis(300) + rest;
    // A zoom stroke of a real lens: neither instant nor endless.
    EXPECT_GT(total, Millis(300));
    EXPECT_LT(total, Millis(3000));
    EXPECT_EQ(d.controller.position(kZoom1), x);
    EXPECT_EQ(d.controller.position(kZoom2), y);
    d.wait(Millis(500));
    EXPECT_EQ(d.controller.position(kZoom1), x);
    EXPECT_EQ(d.say("TPX"), std::to_string(x) + "\r\n");
    EXPECT_EQ(d.say("TPB"), std::to_string(y) + "\r\n");
}

TEST(ControllerMotion, JogRunsUntilStopAndAbortStopsAtOnce)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("JGX=-1000;BGX"), "::");
    d.wait(Millis(2000));
    const long afterTwo = d.controller.position(kZoom1);
    d.wait(Millis(1000));
    EXPECT_TRUE(d.controller.isMoving(kZoom1));
    EXPECT_NEAR(d.controller.exactPosition(kZoom1) - static_cast<double>(afterTwo), -1000.0, 2.0);

    // A decelerating stop goes on a little further, then stands.
    EXPECT_EQ(d.say("STX"), ":");
    const long atStop = d.controller.position(kZoom1);
    ASSERT_GE(d.waitForStandstill().count(), 0);
    EXPECT_LT(d.controller.position(kZoom1), atStop);

    EXPECT_EQ(d.say("JGX=5000"), ":");
    EXPECT_EQ(d.say("BGX"), ":");
    d.wait(Millis(1000));
    EXPECT_EQ(d.say("ABX"), ":");
    const long atAbort = d.controller.position(kZoom1);
    EXPECT_FALSE(d.controller.isMoving(kZoom1));
    d.wait(Millis(100));
    EXPECT_EQ(d.controller.position(kZoom1), atAbort);
}

TEST(ControllerMotion, MotorOffDisablesAndADisabledAxisDoesNotMove)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("JGY=3000;BGY"), "::");
    d.wait(Millis(500));
    EXPECT_EQ(d.say("MOY"), ":");
    const long atOff = d.controller.position(kZoom2);
    EXPECT_FALSE(d.controller.isEnabled(kZoom2));
    EXPECT_FALSE(d.controller.isMoving(kZoom2));
    EXPECT_EQ(d.say("PAY=5000"), ":");
    EXPECT_EQ(d.say("BGY"), "?");
    EXPECT_EQ(d.say("zoom=300"), ":");
    d.wait(Millis(3000));
    EXPECT_EQ(d.controller.position(kZoom2), atOff);
    EXPECT_EQ(d.controller.position(kZoom1), ResidentProgram::zoomCam(300).first);

    EXPECT_EQ(d.say("SHY;BGY"), "::");
    ASSERT_GE(d.waitForStandstill().count(), 0);
    EXPECT_EQ(d.controller.position(kZoom2), 5000);
}

TEST(ControllerMotion, FocusStepsAndFocusMin)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("PAD = 10100;BGD"), "::");
    const Millis fullTravel = d.waitForStandstill();
    EXPECT_GT(fullTravel, Millis(200));
    EXPECT_EQ(d.controller.position(kFocus), 10100);

    EXPECT_EQ(d.say("focusdn=1"), ":");
    EXPECT_EQ(d.say("focusdn = 1"), ":"); // a second press before the first step ended adds up
    const Millis twoSteps = d.waitForStandstill();
    EXPECT_GT(twoSteps, Millis(0));
    EXPECT_LT(twoSteps, Millis(1000));
    EXPECT_EQ(d.controller.position(kFocus), 9900);
    EXPECT_EQ(d.say("focusdn=?"), " 0.0000\r\n"); // the program took the request

    EXPECT_EQ(d.say("focusup=1"), ":");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kFocus), 10000);
    // The travel ends at 10100.
    EXPECT_EQ(d.say("focusup=1;focusup=1;focusup=1"), ":::");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kFocus), 10100);

    EXPECT_EQ(d.say("PAW=focusmin;BGW"), "::");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kFocus), 100);
    EXPECT_EQ(d.say("focusmin=?"), " 100.0000\r\n");
}

TEST(ControllerMotion, IrisPresets)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("iris=4"), ":");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kIris), ResidentProgram::irisPreset(4));
    EXPECT_EQ(d.say("iris=7"), ":");
    EXPECT_EQ(d.say("iris=0"), ":");
    EXPECT_FALSE(d.controller.isMoving(kIris));
    EXPECT_EQ(d.say("iris=?"), " 4.0000\r\n");
}

TEST(ControllerMotion, PositionalSpeedsAndTwoAxisMove)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("SP1000,1000;PAX=812;PAY=-441;BGXY"), "::::");
    d.wait(Millis(200));
    EXPECT_TRUE(d.controller.isMoving(kZoom1));
    EXPECT_TRUE(d.controller.isMoving(kZoom2));
    // At 1000 counts/s the 812 counts take most of a second.
    const Millis rest = d.waitForStandstill();
    EXPECT_GT(rest, Millis(500));
    EXPECT_EQ(d.say("TPXY"), "812, -441\r\n");
    EXPECT_EQ(d.say("SP 2000,,500"), ":");
    EXPECT_EQ(d.say("TP"), "812, -441, 0, 100\r\n");
}

TEST(ControllerLanguage, AnswersPerCommandAndFormats)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("init = @OUT[01];init=?"), ": 1.0000\r\n");
    EXPECT_EQ(d.say("init=@OUT[01] ; init = ?"), ": 1.0000\r\n");
    EXPECT_EQ(d.say("SHXYZW;SH"), "::");
    EXPECT_EQ(d.say("erorre = -7;erorre=?"), ":-7.0000\r\n");
    EXPECT_EQ(d.say("erorre = 12.5;erorre=?"), ": 12.5000\r\n");
    EXPECT_EQ(d.say("erorre = zoom;erorre=?"), ": 75.0000\r\n");
    EXPECT_EQ(d.say("allarme=?"), " 0.0000\r\n");
    EXPECT_EQ(d.say(""), ":");
}

TEST(ControllerLanguage, RejectedCommandsAnswerQuestionMarkAndEndTheLine)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("PAX="), "?");
    EXPECT_EQ(d.say("PAX=12a"), "?");
    EXPECT_EQ(d.say("BGQ"), "?");
    EXPECT_EQ(d.say("XX"), "?");
    EXPECT_EQ(d.say("nosuchvariable=1"), "?");
    EXPECT_EQ(d.say("SPX=0"), "?");
    EXPECT_EQ(d.say("SP 1,2,3,4,5"), "?");
    EXPECT_EQ(d.say("SHX;FOO;PAX=500;BGX"), ":?");
    EXPECT_FALSE(d.controller.isMoving(kZoom1));
    EXPECT_EQ(d.say("JGX=100;BGX"), "::");
    EXPECT_EQ(d.say("BGX"), "?"); // already moving
}

TEST(ControllerLanguage, PartialLinesWaitForTheirCarriageReturn)
{
    ControllerDriver d;
    d.controller.receive("TP", d.now);
    EXPECT_EQ(d.controller.pendingOutput(d.now), 0U);
    d.controller.receive("X\r\nTPW\r", d.now);
    EXPECT_EQ(d.controller.takeOutput(d.now), "0\r\n100\r\n");
    ASSERT_EQ(d.controller.receivedLines().size(), 2U);
    EXPECT_EQ(d.controller.receivedLines()[0].text, "TPX");
    EXPECT_EQ(d.controller.receivedLines()[1].text, "TPW");
}

TEST(ControllerLanguage, NetworkAddressAndBurn)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("IA 10,0,0,7"), ":");
    EXPECT_EQ(d.say("IA ?"), "10, 0, 0, 7\r\n");
    EXPECT_FALSE(d.controller.burnedAddress().has_value());
    EXPECT_EQ(d.say("BN"), ":");
    EXPECT_EQ(d.controller.burnedAddress(), (std::array<int, 4>{10, 0, 0, 7}));
    EXPECT_EQ(d.say("IA192,168,1,256"), "?");
    EXPECT_EQ(d.say("IA 1,2,3"), "?");
    EXPECT_EQ(d.say("IA192,168,1,20"), ":");
    EXPECT_EQ(d.controller.address(), (std::array<int, 4>{192, 168, 1, 20}));
}

} // namespace
} // namespace sim::test
