#pragma once

#include "runin/sequencer.h"

#include "link/channel.h"
#include "link/clock.h"
#include "link/seriallink.h"
#include "sim/controller.h"
#include "sim/simlink.h"
#include "testsupport/fakelink.h"
#include "testsupport/qtprint.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>

namespace runin::test {

// The sequencer's controls, remembered instead of shown.
class RecordingView final : public RunInView
{
public:
    void setLabelStep1(const QString &text) override
    {
        step1 = text;
        step1Shown.push_back(text);
    }
    void setLabelStep2(const QString &text) override
    {
        step2 = text;
        step2Shown.push_back(text);
    }
    void setLabelCycles(const QString &text) override { cyclesShown.push_back(text); }
    void setLight(Light light, bool active) override { lights[light] = active; }
    void addListItem(const QString &text) override { list.push_back(text); }
    bool fullStrokeTicked() override { return fullStroke; }
    void lockControls() override { locked = true; }
    void unlockControls() override { locked = false; }
    void startTicking() override { ticking = true; }
    void stopTicking() override { ticking = false; }

    [[nodiscard]] bool anyLightOn() const
    {
        for (const auto &[light, on] : lights)
            if (on)
                return true;
        return false;
    }

    QString step1 = "-";
    QString step2 = "-";
    std::vector<QString> step1Shown;
    std::vector<QString> step2Shown;
    std::vector<QString> cyclesShown;
    std::map<Light, bool> lights;
    std::vector<QString> list;
    bool fullStroke = false;
    bool locked = false;
    bool ticking = false;
};

// A controller that answers from a script: a position and a position error per axis letter
// (as the controller writes them, without the line end), ":" to every other command. An axis
// missing from the map gets no answer.
class ScriptedController final : public comm::SerialLink
{
public:
    bool open(int) override { return true; }
    void close() override {}
    [[nodiscard]] bool isOpen() const override { return true; }
    bool write(std::string_view data) override
    {
        std::string line(data.substr(0, data.size() - 1));
        if (busy)
            busyAtWrite.push_back(*busy);
        if (line.rfind("TP", 0) == 0) {
            answerFrom(positions, line.substr(2));
        } else if (line.rfind("erorre = _TE", 0) == 0) {
            m_errorAxis = line.substr(12);
            m_out += ':';
        } else if (line == "erorre = ?") {
            answerFrom(errors, m_errorAxis);
        } else {
            m_out += ':';
            moves.push_back(line);
        }
        return true;
    }
    int bytesWaiting() override { return static_cast<int>(m_out.size()); }
    std::string takeAll() override { return std::exchange(m_out, {}); }
    [[nodiscard]] std::string errorString() const override { return {}; }

    std::map<std::string, std::string> positions{
        {"A", "1000"}, {"B", "-500"}, {"C", "300"}, {"D", "700"}};
    std::map<std::string, std::string> errors{
        {"A", " 1.0000"}, {"B", " 1.0000"}, {"C", " 1.0000"}, {"D", " 1.0000"}};
    std::vector<std::string> moves; // every line that is neither a position nor an error query
    const bool *busy = nullptr;
    std::vector<bool> busyAtWrite;

private:
    void answerFrom(const std::map<std::string, std::string> &answers, const std::string &axis)
    {
        if (const auto it = answers.find(axis); it != answers.end())
            m_out += it->second + "\r\n";
    }

    std::string m_out;
    std::string m_errorAxis;
};

// Reads a whole file as bytes; the empty optional when it is missing.
inline std::optional<QByteArray> fileBytes(const char *name)
{
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// The lines of a log file, without their CR LF.
inline std::vector<QString> logLines(const char *name)
{
    std::vector<QString> lines;
    const QByteArray bytes = fileBytes(name).value_or(QByteArray());
    for (const QByteArray &line : bytes.split('\n'))
        if (!line.isEmpty())
            lines.push_back(QString::fromLocal8Bit(line.chopped(1)));
    return lines;
}

// The sequencer in a private working directory with virtual time, on the in-process controller
// or on a scripted one, and a fixed wall-clock moment for the log lines.
class SequencerFixture : public testing::Test
{
protected:
    SequencerFixture() : m_home(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~SequencerFixture() override { QDir::setCurrent(m_home); }

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
        script.busy = &channel->ChannelBusy;
        return script;
    }

    // Ticks every 100 ms until the timer is stopped or `done` holds; false when neither came
    // within `limit` ticks.
    template <class Done> bool tickUntil(Done done, int limit = 20000)
    {
        for (int i = 0; i < limit && view.ticking; ++i) {
            if (done())
                return true;
            clock.advance(comm::Millis(100));
            sequencer->tick();
        }
        return done() || !view.ticking;
    }
    bool tickToEnd(int limit = 20000)
    {
        return tickUntil([] { return false; }, limit);
    }

    // The lines that moved an axis, in the order the controller got them.
    std::vector<std::string> moveLines() const
    {
        std::vector<std::string> lines;
        for (const auto &line : controller->receivedLines())
            if (line.text.rfind("TP", 0) != 0 && line.text.rfind("erorre", 0) != 0)
                lines.push_back(line.text);
        return lines;
    }

    Stamp stamp() const { return stampOf(kNow); }

    const QDateTime kNow{QDate(2026, 3, 4), QTime(17, 6, 7)};
    QTemporaryDir m_dir;
    comm::VirtualClock clock;
    testsupport::RecordingTone tone;
    std::optional<sim::Controller> controller;
    std::unique_ptr<comm::SerialLink> link;
    std::unique_ptr<comm::CommandChannel> channel;
    RecordingView view;
    std::unique_ptr<Sequencer> sequencer;

private:
    void create(std::unique_ptr<comm::SerialLink> serial)
    {
        link = std::move(serial);
        link->open(1);
        channel = std::make_unique<comm::CommandChannel>(*link, clock, tone);
        sequencer = std::make_unique<Sequencer>(*channel, view, [this] { return kNow; });
    }

    QString m_home;
};

} // namespace runin::test
