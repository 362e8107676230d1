#pragma once

#include <optional>
#include <string_view>

namespace comm {

// Reads a decimal number as the operator types it or the controller answers it: blanks around it,
// an optional sign, digits with an optional fraction ("168." and ".5" count), an optional
// exponent. Anything else, including an empty text, is no number.
std::optional<double> numberFromText(std::string_view text);

} // namespace comm
