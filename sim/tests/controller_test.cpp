#include "simfixture.h"

#include <gtest/gtest.h>

namespace sim::test {
namespace {

using platform::Millis;
constexpr int kZoom1 = 0;
constexpr int kZoom2 = 1;
constexpr int kIris = 2;
constexpr int kFocus = 3;

TEST(ControllerMotion, ZoomMovesBothAxesToTheirCamPositionsInALensesTime)
{
    ControllerDriver d;
    const auto [x, y] = ResidentProgram::zoomCam(120.0);
    EXPECT_EQ(d.say("zoom = 120"), ":");
    d.wait(Millis(300));
    // Under way the position stays between start and end.
    EXPECT_TRUE(d.controller.isMoving(kZoom1));
    EXPECT_GT(d.controller.position(kZoom1), 0);
    EXPECT_LT(d.controller.position(kZoom1), x);

    // A zoom stroke of a real lens: neither instant nor endless.
    const platform::Millis rest = d.waitForStandstill();
    EXPECT_GT(rest, Millis(0));
    EXPECT_LT(rest, Millis(2700));
    EXPECT_EQ(d.say("TPX"), std::to_string(x) + "\r\n");
    EXPECT_EQ(d.say("TPB"), std::to_string(y) + "\r\n");
}

TEST(ControllerMotion, JogStopAbortAndMotorOff)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("JGX=-1000;BGX"), "::");
    d.wait(Millis(2000));
    const long afterTwo = d.controller.position(kZoom1);
    d.wait(Millis(1000));
    EXPECT_NEAR(d.controller.exactPosition(kZoom1) - static_cast<double>(afterTwo), -1000.0, 2.0);
    // A decelerating stop goes on a little further, then stands.
    EXPECT_EQ(d.say("STX"), ":");
    const long atStop = d.controller.position(kZoom1);
    ASSERT_GE(d.waitForStandstill().count(), 0);
    EXPECT_LT(d.controller.position(kZoom1), atStop);

    EXPECT_EQ(d.say("JGX=5000;BGX"), "::");
    d.wait(Millis(1000));
    EXPECT_EQ(d.say("ABX"), ":");
    EXPECT_FALSE(d.controller.isMoving(kZoom1));

    // A motor switched off neither moves nor follows the zoom program until servoed again.
    EXPECT_EQ(d.say("MOY;PAY=5000"), "::");
    EXPECT_EQ(d.say("BGY"), "?");
    EXPECT_EQ(d.say("zoom=300"), ":");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kZoom2), 0);
    EXPECT_EQ(d.say("SHY;BGY"), "::");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kZoom2), 5000);
}

TEST(ControllerMotion, FocusStepsIrisPresetsAndSpeeds)
{
    ControllerDriver d;
    EXPECT_EQ(d.say("PAD = 10100;BGD"), "::");
    EXPECT_GT(d.waitForStandstill(), Millis(200));
    // A second press before the first step ended adds up; the travel ends at 10100.
    EXPECT_EQ(d.say("focusdn=1;focusdn = 1"), "::");
    EXPECT_LT(d.waitForStandstill(), Millis(1000));
    EXPECT_EQ(d.controller.position(kFocus), 9900);
    EXPECT_EQ(d.say("focusdn=?"), " 0.0000\r\n");
    EXPECT_EQ(d.say("focusup=1;focusup=1;focusup=1"), ":::");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kFocus), 10100);
    EXPECT_EQ(d.say("PAW=focusmin;BGW"), "::");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kFocus), 100);

    EXPECT_EQ(d.say("iris=4"), ":");
    d.waitForStandstill();
    EXPECT_EQ(d.controller.position(kIris), ResidentProgram::irisPreset(4));
    EXPECT_EQ(d.say("iris=7;iris=0"), "::");
    EXPECT_FALSE(d.controller.isMoving(kIris));
    EXPECT_EQ(d.say("iris=?"), " 4.0000\r\n");

    // At 1000 counts/s the 812 counts take most of a second.
    EXPECT_EQ(d.say("SP1000,1000;PAX=812;PAY=-441;BGXY"), "::::");
    EXPECT_GT(d.waitForStandstill(), Millis(700));
    EXPECT_EQ(d.say("SP 2000,,500"), ":");
    EXPECT_EQ(d.say("TP"),
              "812, -441, " + std::to_string(ResidentProgram::irisPreset(4)) + ", 100\r\n");
}

TEST(ControllerLanguage, AnswersRejectionsAndPartialLines)
{
    ControllerDriver d;
    const std::pair<const char *, const char *> cases[] = {
        {"init = @OUT[01];init=?", ": 1.0000\r\n"},
        {"init=@OUT[01] ; init = ?", ": 1.0000\r\n"},
        {"erorre = -7;erorre=?", ":-7.0000\r\n"},
        {"erorre = 12.5;erorre=?", ": 12.5000\r\n"},
        {"erorre = zoom;erorre=?", ": 75.0000\r\n"},
        {"allarme=?", " 0.0000\r\n"},
        {"", ":"},
        {"SHXYZW;SH", "::"},
        {"IA 10,0,0,7;IA ?", ":10, 0, 0, 7\r\n"},
        // A rejected command answers "?" and ends the line.
        {"PAX=", "?"},
        {"PAX=12a", "?"},
        {"BGQ", "?"},
        {"nosuchvariable=1", "?"},
        {"SPX=0", "?"},
        {"SP 1,2,3,4,5", "?"},
        {"IA192,168,1,256", "?"},
        {"IA 1,2,3", "?"},
        {"SHX;FOO;PAX=500;BGX", ":?"},
    };
    for (const auto &[line, answer] : cases)
        EXPECT_EQ(d.say(line), answer) << line;
    EXPECT_FALSE(d.controller.isMoving(kZoom1));
    EXPECT_FALSE(d.controller.burnedAddress().has_value());
    EXPECT_EQ(d.say("BN"), ":");
    EXPECT_EQ(d.controller.burnedAddress(), (std::array<int, 4>{10, 0, 0, 7}));

    d.controller.receive("TP", d.now);
    EXPECT_EQ(d.controller.pendingOutput(d.now), 0U);
    d.controller.receive("X\r\nTPW\r", d.now);
    EXPECT_EQ(d.controller.takeOutput(d.now), "0\r\n100\r\n");
}

} // namespace
} // namespace sim::test
