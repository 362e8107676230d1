#pragma once

#include <QString>

namespace comm {

// The device behind port number n. On Windows "COMn". Elsewhere, when $VELMARO_PORT_DIR is set,
// the link named COMn in that directory: the directory is then the whole port map, so that a
// session on the simulator never mixes with the machine's own serial devices. Without it,
// /dev/ttyS{n-1}.
QString portDevice(int portNumber);

// The text a port is listed under: "COM" and the number.
QString portName(int portNumber);

} // namespace comm
