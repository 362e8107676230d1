#include "numbertext.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace comm {

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<double> numberFromText(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf", "nan" and hexadecimal; a number starts with a digit or
    // with the point before its first digit.
    const bool startsWithDigit =
        !text.empty() &&
        (isDigit(text.front()) || (text.front() == '.' && text.size() > 1 && isDigit(text[1])));
    if (!startsWithDigit)
        return std::nullopt;

    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::int32_t> wholeNumberFromText(std::string_view text)
{
    const auto number = numberFromText(text);
    if (!number)
        return std::nullopt;
    const double whole = std::floor(*number);
    if (whole < std::numeric_limits<std::int32_t>::min() ||
        whole > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

} // namespace comm
