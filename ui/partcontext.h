#pragma once

#include "dialogs.h"

#include <functional>

namespace platform {
class Clock;
} // namespace platform

namespace comm {
class CommandChannel;
} // namespace comm

namespace ui {

struct WindowState;

// What the main window lends each of its parts: the line to the controller, time, the boxes, the
// window-wide state, and the focus sink that takes the keyboard focus after a command.
struct PartContext
{
    comm::CommandChannel &channel;
    platform::Clock &clock;
    WindowDialogs dialogs; // the main window's boxes
    WindowState &state;
    std::function<void()> focusSink;
};

} // namespace ui
