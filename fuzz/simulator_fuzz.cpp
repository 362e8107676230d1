// Whatever bytes reach the simulated controller: it answers or refuses, and never falls over.
#include "sim/controller.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    sim::Controller controller;
    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    platform::Millis now{0};
    // Fed in pieces of up to 64 bytes, 25 ms apart, so moves run between them.
    while (!bytes.empty()) {
        const auto piece = bytes.substr(0, 64);
        controller.receive(piece, now);
        now += platform::Millis{25};
        (void)controller.takeOutput(now);
        bytes.remove_prefix(piece.size());
    }
    controller.advanceTo(now + platform::Millis{60000});
    (void)controller.takeOutput(now + platform::Millis{60000});
    return 0;
}
