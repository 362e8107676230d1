#pragma once

#include <cstdint>
#include <string_view>

// Focus stepping: the controller moves the focus one step per line; the window keeps a count of
// the steps for the operator to see, within 0 to 100. The count is never sent or read back, and it
// does not stop the stepping at its limits.
namespace lens {

// The direction of a running focus repeat.
enum class FocusDir : std::int16_t {
    None = 0, // no focus button held
    Up = 1,
    Down = 2,
};

inline constexpr std::int16_t kFocusCountMin = 0;
inline constexpr std::int16_t kFocusCountMax = 100;

// The line of one step up or down.
inline constexpr std::string_view kFocusUpLine = "focusup=1";
inline constexpr std::string_view kFocusDownLine = "focusdn=1";

// The count after one step in `direction` (up or down), kept within its limits.
constexpr std::int16_t steppedFocusCount(std::int16_t count, FocusDir direction)
{
    const int next = direction == FocusDir::Up ? count + 1 : count - 1;
    if (next > kFocusCountMax)
        return kFocusCountMax;
    if (next < kFocusCountMin)
        return kFocusCountMin;
    return static_cast<std::int16_t>(next);
}

} // namespace lens
