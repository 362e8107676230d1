#pragma once

#include "base/result.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The controller's network address as the operator types it.
namespace axes {

using NetworkAddress = std::array<std::int16_t, 4>;

// A dotted quad: four numbers 0 to 255 separated by the first three dots. Blanks around a number
// and leading zeros are allowed, a number with a fraction counts by its whole part (rounded down),
// and anything after the third dot is the fourth number ("1.2.3.4.5" reads as 1.2.3.4). Refused
// when there are fewer than three dots, a field is empty or no number, or a value is out of range.
base::Result<NetworkAddress> parseNetworkAddress(std::string_view text);

// "IA192,168,1,10;BN": sets the address and burns it into the controller's parameters.
std::string setAddressLine(const NetworkAddress &address);

// "192.168.1.10".
std::string dottedText(const NetworkAddress &address);

} // namespace axes
