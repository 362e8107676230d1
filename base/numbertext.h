#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Numbers as people and the controller write them.
namespace base {

// What stands where a number was not given: a value the controller did not answer, as the
// channel gives it and the running-in log writes it.
inline constexpr std::string_view kNoValue = "###";

// `text` without the blanks (spaces and tabs) around it.
std::string_view trimmed(std::string_view text);

// A decimal number as written, taken apart: blanks around it, an optional sign, digits with an
// optional fraction ("168." and ".5" count), an optional exponent ("1e3", "2.5E-2").
struct DecimalText
{
    bool negative = false;
    std::string_view whole;     // the digits before the point
    std::string_view fraction;  // the digits after it
    std::string_view exponent;  // what follows the e, with its sign; empty when there is none
    std::string_view magnitude; // the number without the blanks around it and its sign
};

// The parts, or none when the text is no such number (an empty text, "inf", "0x1A", "1e").
std::optional<DecimalText> decimalText(std::string_view text);

// Reads a decimal number as the operator types it or the controller answers it. Anything that
// is not a decimal number, or does not fit a double, is no number.
std::optional<double> numberFromText(std::string_view text);

// The same number rounded down (towards minus infinity) to a whole one, if that fits 32 bits:
// positions and position errors as the program keeps them.
std::optional<std::int32_t> wholeNumberFromText(std::string_view text);

} // namespace base
