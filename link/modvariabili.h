#pragma once

#include <cstdint>

// Program-wide state.
namespace modVariabili {

// The serial port chosen by the operator (COM1 is 1). Written by the port selection, read once when
// the main window opens the port.
inline std::int16_t PortNumber = 0;

} // namespace modVariabili
