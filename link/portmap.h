#pragma once

#include <QString>

namespace comm {

// The ports the program offers: COM1 to COM20.
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 20;

// The device behind port number n. On Windows "COMn". Elsewhere, when $VELMARO_PORT_DIR is set,
// the link named COMn in that directory: the directory is then the whole port map, so that a
// session on the simulator never mixes with the machine's own serial devices. Without it,
// /dev/ttyS{n-1}.
QString portDevice(int portNumber);

// The text a port is listed under: "COM" and the number.
QString portName(int portNumber);

// Where port numbers lead on this machine, in one sentence for a technician.
QString portMapDescription();

} // namespace comm
