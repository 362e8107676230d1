#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace comm {

// Reads a decimal number as the operator types it or the controller answers it: blanks around it,
// an optional sign, digits with an optional fraction ("168." and ".5" count), an optional
// exponent. Anything else, including an empty text, is no number.
std::optional<double> numberFromText(std::string_view text);

// The same number rounded down (towards minus infinity) to a whole one, if that fits 32 bits:
// positions and position errors as the program keeps them.
std::optional<std::int32_t> wholeNumberFromText(std::string_view text);

} // namespace comm
