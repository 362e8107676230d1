#pragma once

#include "runin/sequencer.h"

#include <QString>

#include <algorithm>
#include <map>
#include <vector>

namespace testsupport {

// The running-in frame, remembered instead of shown.
struct RecordingView final : runin::RunInView
{
    void setLabelStep1(const QString &text) override { step1 = text; }
    void setLabelStep2(const QString &text) override { step2 = text; }
    void setLabelCycles(const QString &text) override { cycles.push_back(text); }
    void setLight(runin::Light light, bool active) override { lights[light] = active; }
    void addListItem(const QString &text) override { list.push_back(text); }
    bool fullStrokeTicked() override { return fullStroke; }
    void lockControls() override { locked = true; }
    void unlockControls() override { locked = false; }
    void startTicking() override { ticking = true; }
    void stopTicking() override { ticking = false; }

    [[nodiscard]] bool anyLightOn() const
    {
        return std::any_of(lights.begin(), lights.end(), [](const auto &l) { return l.second; });
    }

    QString step1, step2;
    std::vector<QString> cycles, list;
    std::map<runin::Light, bool> lights;
    bool fullStroke = false, locked = false, ticking = false;
};

} // namespace testsupport
