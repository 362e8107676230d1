// The tone through ALSA, with the sound device chosen by a private ~/.asoundrc. CTest runs each
// case in a process of its own, so each reads its own configuration.
#include "platform/alsatone.h"
#include "testsupport/infolder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class AlsaToneTest : public testing::Test
{
protected:
    void useSoundConfiguration(const QByteArray &asoundrc)
    {
        ASSERT_TRUE(testsupport::writeFile(home.filePath(".asoundrc"), asoundrc));
        qputenv("HOME", home.path().toLocal8Bit());
    }

    QTemporaryDir home;
    platform::VirtualClock clock;
};

TEST_F(AlsaToneTest, PlaysASineOfTheGivenPitchAndLength)
{
    const QString capture = home.filePath("tone.raw");
    useSoundConfiguration("pcm.!default { type file slave.pcm \"null\" file \"" +
                          capture.toLocal8Bit() + "\" format \"raw\" }\n");
    platform::AlsaTone tone(clock);
    tone.beep(1000, platform::Millis{100});

    const QByteArray bytes = testsupport::fileBytes(capture);
    ASSERT_FALSE(bytes.isEmpty()) << "nothing was played";
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    EXPECT_EQ(samples.size(), 2205U) << "0.1 s at 22050 samples a second";
    int signChanges = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        signChanges += (samples[i - 1] < 0) != (samples[i] < 0) ? 1 : 0;
    EXPECT_NEAR(signChanges, 200, 2) << "two per period, a hundred periods";
    EXPECT_EQ(clock.now(), platform::Millis{0}) << "the sound itself took the time";
}

TEST_F(AlsaToneTest, WithoutASoundDeviceWaitsAsLongAsTheToneWouldLast)
{
    useSoundConfiguration("pcm.!default { type hw card 57 }\n");
    platform::AlsaTone tone(clock);
    tone.beep(1000, platform::Millis{50});
    EXPECT_EQ(clock.now(), platform::Millis{50});
}

} // namespace
