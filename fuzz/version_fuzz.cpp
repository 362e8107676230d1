// Whatever the update server's version file holds on its first line.
#include "fuzzcheck.h"

#include "update/updateversion.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    const auto parsed = update::parseVersionLine(line);
    // A version, or a reason why there is none.
    fuzz::check(parsed.ok() || !parsed.error().empty());
    if (parsed)
        (void)update::updateDue(*parsed, update::ownVersion());
    return 0;
}
