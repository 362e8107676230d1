#pragma once

#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace update {

// A program version as the update server writes it: major.minor.revision, each field a 16-bit
// signed whole number.
struct Version
{
    std::int16_t major = 0;
    std::int16_t minor = 0;
    std::int16_t revision = 0;

    friend bool operator==(const Version &, const Version &) = default;
};

// The version this program was built as.
Version ownVersion();

// Reads "major.minor.revision". The fields lie before the first point, between it and the next
// point, and after that point; each is a decimal number, blanks around it allowed, rounded down
// to a whole number that must fit in 16 bits. Only the revision can carry a fraction
// ("1.2.3.4" is 1.2.3), since the first two points separate the fields.
base::Result<Version> parseVersionLine(std::string_view line);

// True when `remote` is newer than `own`: compared as numbers, major first, then minor, then
// revision; the first field that differs decides.
bool updateDue(const Version &remote, const Version &own);

} // namespace update
