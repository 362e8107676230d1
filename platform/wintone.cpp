#include "systemtone.h"

#include <windows.h>

namespace platform {

namespace {
// The system beep returns when the tone has ended.
class WindowsTone final : public Tone
{
public:
    void beep(int frequencyHz, Millis duration) override
    {
        ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(duration.count()));
    }
};
} // namespace

std::unique_ptr<Tone> makeSystemTone(Clock &)
{
    return std::make_unique<WindowsTone>();
}

} // namespace platform
