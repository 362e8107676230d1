#include "ipaddress.h"

#include "link/numbertext.h"

#include <cmath>

namespace axes {

namespace {
constexpr double kLowest = 0;
constexpr double kHighest = 255;

// One field as a number. Fields two and three keep the dot that ends them, which reads as a
// number with an empty fraction ("168." is 168).
std::optional<std::int16_t> fieldValue(std::string_view field)
{
    const auto number = comm::numberFromText(field);
    if (!number)
        return std::nullopt;
    const double whole = std::floor(*number);
    if (whole < kLowest || whole > kHighest)
        return std::nullopt;
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

std::optional<NetworkAddress> parseNetworkAddress(std::string_view text)
{
    const auto first = text.find('.');
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto second = text.find('.', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const auto third = text.find('.', second + 1);
    if (third == std::string_view::npos)
        return std::nullopt;

    const std::array<std::string_view, 4> fields = {
        text.substr(0, first), text.substr(first + 1, second - first),
        text.substr(second + 1, third - second), text.substr(third + 1)};
    NetworkAddress address{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto value = fieldValue(fields[i]);
        if (!value)
            return std::nullopt;
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
