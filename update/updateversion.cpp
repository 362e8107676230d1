#include "updateversion.h"

#include "base/numbertext.h"

#include "version.h"

#include <algorithm>
#include <limits>

namespace update {

namespace {

// The whole number at or below the decimal number `text`, when it is one and fits in 16 bits.
// The version line has no exponents; the digits are summed exactly, so that a long fraction never
// rounds a field up.
std::optional<std::int16_t> wholeNumber(std::string_view text, std::string &why)
{
    if (base::trimmed(text).empty()) {
        why = "is empty";
        return std::nullopt;
    }
    const auto number = base::decimalText(text);
    if (!number || !number->exponent.empty()) {
        why = "is not a number";
        return std::nullopt;
    }

    // Any value past this bound is out of range, so longer digit strings need not be summed.
    constexpr long long kCap = 1'000'000;
    long long whole = 0;
    for (const char digit : number->whole)
        whole = std::min(kCap, whole * 10 + (digit - '0'));
    const bool fraction = number->fraction.find_first_not_of('0') != std::string_view::npos;

    // Rounded down: -1.5 becomes -2.
    const long long value = number->negative ? -whole - (fraction ? 1 : 0) : whole;
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
        return base::fail(base::FailureKind::InvalidInput,
                          "the version line " + quoted + " does not have two points");

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
            return base::fail(base::FailureKind::InvalidInput, std::move(error));
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
