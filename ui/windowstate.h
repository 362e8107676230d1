#pragma once

#include <cstdint>

namespace ui {

// Window-wide state that more than one part reads. The main window owns it and lends it to every
// part; each field has one writer.
struct WindowState
{
    // Last positions the readout read for Zoom 1 and Zoom 2 (written by the readout, read by the
    // cam table).
    std::int32_t ActualPosZoom1 = 0;
    std::int32_t ActualPosZoom2 = 0;

    // While set, a failure of the line is told by the handler that meets it, in its own words, and
    // the window's own box for that failure stays away (written by the address setting around its
    // one write, read by the main window).
    bool lineFailureToldByHandler = false;
};

} // namespace ui
