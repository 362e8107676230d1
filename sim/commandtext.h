#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text of the controller's command language: commands as they arrive and numbers as the
// controller writes them.
namespace sim {

// `text` without the blanks and tabs around it.
std::string_view trim(std::string_view text);

// The pieces of `text` between the separators; one piece when there is none.
std::vector<std::string_view> split(std::string_view text, char separator);

// A decimal number, blanks and a leading '+' allowed; nothing when the text is not one.
std::optional<double> parseNumber(std::string_view text);

// `value` with `decimals` digits after a point, whatever the process's locale: the controller has
// none, and printf would write a decimal comma under an Italian one.
std::string pointDecimal(double value, int decimals);

// The controller's number format for variables: sign place, integer part, four decimals.
std::string fixedPoint(double value);

} // namespace sim
