#pragma once

#include <QString>

namespace comm {

// What stands between a port number and a serial line this program can use.
enum class PortFault {
    None,             // usable
    NoDevice,         // nothing there, or a link that leads nowhere
    PermissionDenied, // the device is there, but this user may not open it
    InUse,            // another program holds it
    NotSerial,        // something there that is not a serial line
};

// One port as a technician needs to see it.
struct PortCheck
{
    int portNumber = 0;
    QString device; // where the number leads (see portDevice)
    QString target; // the device a link at `device` leads to; empty when it is no link
    PortFault fault = PortFault::None;
    QString reason; // "usable", or why not, in words a technician can act on
};

// Opens and closes the port as the program does, locks included, and when that fails finds out
// why from the device itself.
PortCheck checkPort(int portNumber);

struct PortsReport
{
    QString text; // the port map, one aligned line per port, and a count
    int usable = 0;
};

// Checks ports `firstPort` to `lastPort` in order.
PortsReport reportPorts(int firstPort, int lastPort);

} // namespace comm
