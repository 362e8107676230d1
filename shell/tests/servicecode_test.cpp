// The hidden service sequence: the sums of the key codes it is made of.
#include "shell/servicecode.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace {

// Feeds (key code, modifier mask) presses; true if the last one completed the sequence.
bool press(shell::ServiceCode &code, std::initializer_list<std::pair<int, int>> keys)
{
    bool complete = false;
    for (const auto &[key, mask] : keys)
        complete = code.keyDown(key, mask);
    return complete;
}

constexpr int kEscape = 27;
constexpr int kU = 'U';
constexpr int kN = 'N';
constexpr int kV = 'V';
constexpr int kK = 'K';

TEST(ServiceCode, CompletesOnItsLastValueAndAnyWrongSumStartsOver)
{
    shell::ServiceCode code;
    EXPECT_FALSE(press(code, {{kEscape, 0}, {kU, 0}, {kN, 0}, {kV, 0}, {kK, 0}}));
    EXPECT_EQ(code.keySum(), 351);
    EXPECT_TRUE(press(code, {{kN, 0}}));
    EXPECT_EQ(code.keySum(), 429);
    EXPECT_FALSE(press(code, {{kEscape, 0}}));
    EXPECT_EQ(code.keySum(), 0) << "the press after a completed sequence only resets the sum";

    // Escape after U would make 139: not a value, so the sum is 0 and this Escape is lost too.
    EXPECT_FALSE(press(
        code, {{kEscape, 0}, {kU, 0}, {kEscape, 0}, {kU, 0}, {kN, 0}, {kV, 0}, {kK, 0}, {kN, 0}}));
    // Shift's own press is 16 + 1 and breaks the sequence.
    EXPECT_FALSE(press(code, {{kEscape, 0}, {kU, 0}, {16, 1}, {kN, 0}, {kV, 0}, {kK, 0}, {kN, 0}}));
    // Shift held with V adds 1: 276 is missed.
    EXPECT_FALSE(press(code, {{kEscape, 0}, {kU, 0}, {kN, 0}, {kV, 1}}));
    EXPECT_EQ(code.keySum(), 0);
    // A key without a code (a dead key, ò, a media key) is a wrong key as well, modifiers or not.
    EXPECT_FALSE(press(code, {{kEscape, 0}, {kU, 0}, {kN, 0}, {0, 0}, {kV, 0}, {kK, 0}, {kN, 0}}));
    EXPECT_FALSE(press(code, {{kEscape, 0}, {kU, 0}, {kN, 0}, {kV, 0}, {kK, 0}, {0, 1}}));
    EXPECT_EQ(code.keySum(), 0);
    // Membership, not order: F1 alone is 112, the second value.
    EXPECT_TRUE(press(code, {{112, 0}, {kN, 0}, {kV, 0}, {kK, 0}, {kN, 0}}));
}

} // namespace
