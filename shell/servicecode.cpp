#include "servicecode.h"

#include <algorithm>
#include <array>

namespace shell {

namespace {
constexpr std::array<std::int16_t, 6> kCodeSums = {27, 112, 190, 276, 351, 429};
} // namespace

bool ServiceCode::keyDown(int keyCode, int modifierMask)
{
    // On Windows every key press has a code. One that has none here (a dead key, a letter such
    // as an Italian keyboard's ò, a media key) is still a key press that is not the next one of
    // the code, so it must not leave the sum where it was.
    if (keyCode == kNoKeyCode) {
        KeySum = 0;
        return false;
    }
    // The sum stays within one key press of the last code value, so it never leaves 16 bits.
    KeySum = static_cast<std::int16_t>(KeySum + keyCode + modifierMask);
    if (std::find(kCodeSums.begin(), kCodeSums.end(), KeySum) == kCodeSums.end())
        KeySum = 0;
    return KeySum == kCodeSums.back();
}

} // namespace shell
