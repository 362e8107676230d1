// Whatever the controller answers, in whatever pieces: the position and position-error queries,
// the readout and the start-up check take it without fault.
#include "axes/readout.h"
#include "base/numbertext.h"
#include "link/channel.h"
#include "platform/clock.h"
#include "shell/lenscheck.h"
#include "testsupport/fakelink.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    platform::VirtualClock clock;
    testsupport::FakeLink link(clock);
    testsupport::RecordingTone tone;
    comm::CommandChannel channel(link, clock, tone);
    (void)link.open(1);

    // Each NUL-separated piece is one answer, readable 20 ms after the one before.
    std::string_view input(reinterpret_cast<const char *>(data), size);
    platform::Millis after{0};
    while (!input.empty()) {
        const auto end = input.find('\0');
        link.answer(std::string(input.substr(0, end)), after);
        after += platform::Millis{20};
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    }

    (void)shell::checkLensInitialised(channel, clock);
    (void)channel.QueryPosition("A");
    (void)channel.QueryPositionError("B");
    for (const char *letter : {"X", "Y", "Z", "W"}) {
        if (const auto reading = axes::readPosition(channel, letter))
            (void)base::wholeNumberFromText(reading->text);
    }
    return 0;
}
