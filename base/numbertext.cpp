#include "numbertext.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace base {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits at the start of `text`, taken off it.
std::string_view takeDigits(std::string_view &text)
{
    std::size_t count = 0;
    while (count < text.size() && isDigit(text[count]))
        ++count;
    const std::string_view digits = text.substr(0, count);
    text.remove_prefix(count);
    return digits;
}
} // namespace

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<DecimalText> decimalText(std::string_view text)
{
    text = trimmed(text);
    DecimalText parts;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        parts.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    parts.magnitude = text;
    parts.whole = takeDigits(text);
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        parts.fraction = takeDigits(text);
    }
    if (parts.whole.empty() && parts.fraction.empty())
        return std::nullopt;
    if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        text.remove_prefix(1);
        parts.exponent = text;
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            text.remove_prefix(1);
        if (takeDigits(text).empty())
            return std::nullopt;
    }
    if (!text.empty())
        return std::nullopt;
    return parts;
}

std::optional<double> numberFromText(std::string_view text)
{
    const auto parts = decimalText(text);
    if (!parts)
        return std::nullopt;
    const std::string_view number = parts->magnitude;
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::general);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return parts->negative ? -value : value;
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

} // namespace base
