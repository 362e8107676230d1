#include "ipaddress.h"

#include "base/numbertext.h"

#include <cmath>

namespace axes {

namespace {
constexpr double kLowest = 0;
constexpr double kHighest = 255;

// Field `index` (from 0) as a number. Fields two and three keep the dot that ends them, which
// reads as a number with an empty fraction ("168." is 168).
base::Result<std::int16_t> fieldValue(std::string_view field, std::size_t index)
{
    const std::string which = "number " + std::to_string(index + 1);
    const auto number = base::numberFromText(field);
    if (!number)
        return base::fail(base::FailureKind::InvalidInput, which + " is empty or not a number");
    const double whole = std::floor(*number);
    if (whole < kLowest || whole > kHighest)
        return base::fail(base::FailureKind::InvalidInput, which + " is not from 0 to 255");
    return static_cast<std::int16_t>(whole);
}

std::string joinedBy(const NetworkAddress &address, char separator)
{
    std::string text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0)
            text += separator;
        text += std::to_string(address[i]);
    }
    return text;
}
} // namespace

base::Result<NetworkAddress> parseNetworkAddress(std::string_view text)
{
    const auto first = text.find('.');
    const auto second = first == std::string_view::npos ? first : text.find('.', first + 1);
    const auto third = second == std::string_view::npos ? second : text.find('.', second + 1);
    if (third == std::string_view::npos)
        return base::fail(base::FailureKind::InvalidInput, "fewer than three dots");

    const std::array<std::string_view, 4> fields = {
        text.substr(0, first), text.substr(first + 1, second - first),
        text.substr(second + 1, third - second), text.substr(third + 1)};
    NetworkAddress address{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto value = fieldValue(fields[i], i);
        if (!value)
            return value.failure();
        address[i] = *value;
    }
    return address;
}

std::string setAddressLine(const NetworkAddress &address)
{
    return "IA" + joinedBy(address, ',') + ";BN";
}

std::string dottedText(const NetworkAddress &address)
{
    return joinedBy(address, '.');
}

} // namespace axes
