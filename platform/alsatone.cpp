#include "alsatone.h"
#include "systemtone.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

namespace platform {

namespace {
constexpr unsigned kSampleRate = 22050;
constexpr unsigned kLatencyUs = 50'000;
constexpr double kAmplitude = 0.4 * 32767.0;

// libasound prints to stderr when there is no device; the fallback covers that case.
void quietErrorHandler(const char *, int, const char *, int, const char *, ...) {}

struct PcmCloser
{
    void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); }
};
} // namespace

void AlsaTone::beep(int frequencyHz, Millis duration)
{
    if (duration.count() <= 0)
        return;
    if (!play(frequencyHz, duration))
        m_clock.sleep(duration);
}

bool AlsaTone::play(int frequencyHz, Millis duration)
{
    snd_lib_error_set_handler(quietErrorHandler);
    snd_pcm_t *raw = nullptr;
    if (snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return false;
    std::unique_ptr<snd_pcm_t, PcmCloser> pcm(raw);
    if (snd_pcm_set_params(pcm.get(), SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                           kSampleRate, 1, kLatencyUs) < 0)
        return false;

    const auto frames = static_cast<std::size_t>(duration.count()) * kSampleRate / 1000;
    std::vector<std::int16_t> samples(frames);
    const double step = 2.0 * std::numbers::pi * frequencyHz / kSampleRate;
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] =
            static_cast<std::int16_t>(kAmplitude * std::sin(step * static_cast<double>(i)));

    std::size_t done = 0;
    while (done < frames) {
        const auto written = snd_pcm_writei(pcm.get(), samples.data() + done, frames - done);
        if (written < 0) {
            if (snd_pcm_recover(pcm.get(), static_cast<int>(written), 1) < 0)
                return false;
            continue;
        }
        done += static_cast<std::size_t>(written);
    }
    snd_pcm_drain(pcm.get());
    return true;
}

std::unique_ptr<Tone> makeSystemTone(Clock &clock)
{
    return std::make_unique<AlsaTone>(clock);
}

} // namespace platform
