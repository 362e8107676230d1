#pragma once

#include "runin/loglines.h"
#include "runin/sequencer.h"

#include "link/channel.h"
#include "platform/clock.h"
#include "platform/tone.h"
#include "sim/controller.h"
#include "sim/simlink.h"
#include "testsupport/infolder.h"
#include "testsupport/qtprint.h"
#include "testsupport/recordingview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace runin::test {

using testsupport::RecordingView;

// A controller answering from a script: a position and an error text per axis letter (none when
// the letter is missing), ":" to any other line, which it keeps as a move.
class ScriptedController final : public comm::SerialLink
{
public:
    base::Status open(int) override { return {}; }
    void close() override {}
    [[nodiscard]] bool isOpen() const override { return true; }
    base::Status write(std::string_view data) override
    {
        const std::string line(data.substr(0, data.size() - 1));
        busyAtWrite.push_back(channel != nullptr && channel->busy());
        if (line.rfind("TP", 0) == 0)
            answer(positions, line.substr(2));
        else if (line.rfind("erorre = _TE", 0) == 0)
            m_errorAxis = line.substr(12), m_out += ':';
        else if (line == "erorre = ?")
            answer(errors, m_errorAxis);
        else
            moves.push_back(line), m_out += ':';
        return {};
    }
    int bytesWaiting() override { return static_cast<int>(m_out.size()); }
    std::string takeAll() override { return std::exchange(m_out, {}); }

    std::map<std::string, std::string> positions{{"A", "1000"}, {"B", "-500"}};
    std::map<std::string, std::string> errors{{"A", " 1.0000"}, {"B", " 1.0000"}};
    std::vector<std::string> moves;
    const comm::CommandChannel *channel = nullptr;
    std::vector<bool> busyAtWrite;

private:
    void answer(const std::map<std::string, std::string> &from, const std::string &axis)
    {
        if (const auto it = from.find(axis); it != from.end())
            m_out += it->second + "\r\n";
    }
    std::string m_out, m_errorAxis;
};

// A tone that takes its time on the virtual clock and notes when each one ended.
struct TimedTone final : platform::Tone
{
    explicit TimedTone(platform::VirtualClock &onClock) : clock(onClock) {}
    void beep(int frequencyHz, platform::Millis duration) override
    {
        clock.advance(duration);
        beeps.emplace_back(frequencyHz, duration, clock.now());
    }
    platform::VirtualClock &clock;
    std::vector<std::tuple<int, platform::Millis, platform::Millis>> beeps;
};

// The lines of a log file without their CR LF; nothing when it is missing.
inline std::vector<QString> logLines(const char *name)
{
    std::vector<QString> lines;
    QFile file(QString::fromLatin1(name));
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                lines.push_back(QString::fromLocal8Bit(line.chopped(1)));
    return lines;
}

// The sequencer in a private folder in virtual time, on either controller, at a fixed moment.
class SequencerFixture : public testing::Test
{
protected:
    void onController(sim::Faults faults = {})
    {
        controller.emplace(faults);
        create(std::make_unique<sim::SimLink>(*controller, clock));
    }
    ScriptedController &onScript()
    {
        auto scripted = std::make_unique<ScriptedController>();
        auto &script = *scripted;
        create(std::move(scripted));
        return script;
    }
    void create(std::unique_ptr<comm::SerialLink> serial)
    {
        // What borrows the old link goes before it.
        sequencer.reset();
        channel.reset();
        link = std::move(serial);
        EXPECT_TRUE(link->open(1));
        channel = std::make_unique<comm::CommandChannel>(*link, clock, tone);
        sequencer =
            std::make_unique<Sequencer>(*channel, clock, tone, view, [this] { return kNow; });
        // A scripted controller notes whether the channel it is on now is held.
        if (auto *scripted = dynamic_cast<ScriptedController *>(link.get()))
            scripted->channel = channel.get();
    }

    // Ticks every 100 ms while the timer runs, until `done` holds.
    template <class Done> bool tickUntil(Done done, int limit = 20000)
    {
        for (int i = 0; i < limit && view.ticking && !done(); ++i) {
            clock.advance(platform::Millis(100));
            sequencer->tick();
        }
        return done();
    }
    bool firstMoveEnded()
    {
        return tickUntil([this] {
            return sequencer->state().StepIndex == 2 &&
                   sequencer->state().Phase != RunPhase::AwaitingMove;
        });
    }

    Stamp stamp() const { return stampOf(kNow); }

    const QDateTime kNow{QDate(2026, 3, 4), QTime(17, 6, 7)};
    platform::VirtualClock clock;
    TimedTone tone{clock};
    std::optional<sim::Controller> controller;
    std::unique_ptr<comm::SerialLink> link;
    std::unique_ptr<comm::CommandChannel> channel;
    RecordingView view;
    std::unique_ptr<Sequencer> sequencer;

private:
    testsupport::InTemporaryFolder m_folder;
};

} // namespace runin::test
