// The hidden service sequence and the key codes it sums.
#include "shell/servicecode.h"
#include "shell/virtualkey.h"

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

TEST(VirtualKey, QtKeysBecomeWindowsKeyCodesAndModifierMasks)
{
    using shell::virtualKeyCode;
    EXPECT_EQ(virtualKeyCode(Qt::Key_Escape, Qt::NoModifier), 27);
    EXPECT_EQ(virtualKeyCode(Qt::Key_U, Qt::ShiftModifier), 85);
    EXPECT_EQ(virtualKeyCode(Qt::Key_7, Qt::NoModifier), 55);
    EXPECT_EQ(virtualKeyCode(Qt::Key_7, Qt::KeypadModifier), 103);
    EXPECT_EQ(virtualKeyCode(Qt::Key_F1, Qt::NoModifier), 112);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Period, Qt::NoModifier), 190);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Greater, Qt::ShiftModifier), 190);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Shift, Qt::ShiftModifier), 16);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Return, Qt::NoModifier), 13);
    using shell::modifierMask;
    EXPECT_EQ(modifierMask(Qt::Key_Shift, Qt::NoModifier), 1);
    EXPECT_EQ(modifierMask(Qt::Key_Control, Qt::NoModifier), 2);
    EXPECT_EQ(modifierMask(Qt::Key_Alt, Qt::ShiftModifier), 5);
    EXPECT_EQ(modifierMask(Qt::Key_A, Qt::ControlModifier | Qt::AltModifier), 6);
    EXPECT_EQ(modifierMask(Qt::Key_A, Qt::KeypadModifier), 0);
}

} // namespace
