#include "servicecode.h"

#include <algorithm>
#include <array>

namespace shell {

namespace {
constexpr std::array<std::int16_t, 6> kCodeSums = {27, 112, 190, 276, 351, 429};
} // namespace

bool ServiceCode::keyDown(int keyCode, int modifierMask)
{
    // The sum stays within one key press of the last code value, so it never leaves 16 bits.
    KeySum = static_cast<std::int16_t>(KeySum + keyCode + modifierMask);
    if (std::find(kCodeSums.begin(), kCodeSums.end(), KeySum) == kCodeSums.end())
        KeySum = 0;
    return KeySum == kCodeSums.back();
}

} // namespace shell
