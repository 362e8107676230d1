// Whatever the operator types as the controller's network address.
#include "fuzzcheck.h"

#include "axes/ipaddress.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view typed(reinterpret_cast<const char *>(data), size);
    if (const auto address = axes::parseNetworkAddress(typed)) {
        // An address out of range must never reach the controller.
        for (const auto value : *address)
            fuzz::check(value >= 0 && value <= 255);
        (void)axes::setAddressLine(*address);
        (void)axes::dottedText(*address);
    }
    return 0;
}
