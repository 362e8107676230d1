#pragma once

#include <cstdint>

namespace shell {

// The hidden key sequence that opens the full window. Each key press adds its key code and
// modifier mask to a running sum; a sum that is not one of the sequence's values starts over.
class ServiceCode
{
public:
    // A key press whose key has no Windows virtual-key code.
    static constexpr int kNoKeyCode = 0;

    // Counts one key press (Windows virtual-key code; modifier mask 1 Shift, 2 Ctrl, 4 Alt).
    // A key without a code resets the sum. True when the press completes the sequence.
    bool keyDown(int keyCode, int modifierMask);

    [[nodiscard]] std::int16_t keySum() const { return KeySum; }

private:
    std::int16_t KeySum = 0;
};

} // namespace shell
