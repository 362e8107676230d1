#include "updateversion.h"

#include "version.h"

#include <limits>

namespace update {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The whole number at or below the decimal number `text`, when it is one and fits in 16 bits.
std::optional<std::int16_t> wholeNumber(std::string_view text, std::string &why)
{
    text = trimmed(text);
    if (text.empty()) {
        why = "is empty";
        return std::nullopt;
    }
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+')
        text.remove_prefix(1);

    // Any value past this bound is out of range, so longer digit strings need not be summed.
    constexpr long long kCap = 1'000'000;
    long long whole = 0;
    std::size_t at = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
        whole = std::min(kCap, whole * 10 + (text[at] - '0'));
    const std::size_t wholeDigits = at;
    bool fraction = false;
    std::size_t fractionDigits = 0;
    if (at < text.size() && text[at] == '.') {
        for (++at; at < text.size() && isDigit(text[at]); ++at, ++fractionDigits)
            fraction = fraction || text[at] != '0';
    }
    if (at != text.size() || wholeDigits + fractionDigits == 0) {
        why = "is not a number";
        return std::nullopt;
    }

    // Rounded down: -1.5 becomes -2.
    const long long value = negative ? -whole - (fraction ? 1 : 0) : whole;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        why = "is out of range";
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

} // namespace

Version ownVersion()
{
    return {static_cast<std::int16_t>(velmaro::kVersionMajor),
            static_cast<std::int16_t>(velmaro::kVersionMinor),
            static_cast<std::int16_t>(velmaro::kVersionRevision)};
}

base::Result<Version> parseVersionLine(std::string_view line)
{
    const std::string quoted = "\"" + std::string(line) + "\"";
    const auto p1 = line.find('.');
    const auto p2 = p1 == std::string_view::npos ? p1 : line.find('.', p1 + 1);
    if (p2 == std::string_view::npos)
        return base::fail("the version line " + quoted + " does not have two points");

    const struct
    {
        const char *name;
        std::string_view text;
    } fields[] = {{"major", line.substr(0, p1)},
                  {"minor", line.substr(p1 + 1, p2 - p1 - 1)},
                  {"revision", line.substr(p2 + 1)}};
    std::int16_t values[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        std::string why;
        const auto value = wholeNumber(fields[i].text, why);
        if (!value) {
            std::string error = std::string("the ") + fields[i].name + " number \"";
            error.append(fields[i].text).append("\" of the version line ");
            error.append(quoted).append(" ").append(why);
            return base::fail(std::move(error));
        }
        values[i] = *value;
    }
    return Version{values[0], values[1], values[2]};
}

bool updateDue(const Version &remote, const Version &own)
{
    if (remote.major != own.major)
        return remote.major > own.major;
    if (remote.minor != own.minor)
        return remote.minor > own.minor;
    return remote.revision > own.revision;
}

} // namespace update
