#include "sequencer.h"

#include "loglines.h"

#include "link/channel.h"
#include "link/numbertext.h"
#include "platform/clock.h"
#include "platform/tone.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace runin {

namespace {
using platform::Millis;

constexpr platform::Millis kAfterMoveLine{50};
constexpr platform::Millis kBeforeErrorQuery{200};
constexpr int kReportToneHz = 1000;
constexpr platform::Millis kReportTone{1000};
constexpr platform::Millis kReportPause{20};
constexpr int kReportTones = 3;

constexpr std::int16_t kZoom = 1;
constexpr std::int16_t kIris = 2;
constexpr std::int16_t kFocus = 3;

// Step values at which the step test of zoom, iris and focus turns and ends.
constexpr std::array<int, 3> kStepTop{500, 6, 100};
constexpr std::array<int, 3> kStepBottom{75, 1, 0};

const QString kNoAnswer =
    QStringLiteral("The controller stopped answering during the running-in test; the test was "
                   "stopped.");

// The sequencer addresses the axes by the controller's alternative letters: zoom motor 1 stands
// for the zoom, motor 2 is read for the log only.
constexpr std::string_view kZoom2Letter = comm::kAlternativeAxisLetters[1];

std::string_view letterOf(std::int16_t workingAxis)
{
    switch (workingAxis) {
    case kZoom:
        return comm::kAlternativeAxisLetters[0];
    case kIris:
        return comm::kAlternativeAxisLetters[2];
    default:
        return comm::kAlternativeAxisLetters[3];
    }
}

std::string_view axisNameOf(std::int16_t workingAxis)
{
    switch (workingAxis) {
    case kZoom:
        return kZoom1Axis;
    case kIris:
        return kIrisAxis;
    default:
        return kFocusAxis;
    }
}

std::string_view testNameOf(TestKind testKind, std::int16_t stepIndex)
{
    switch (testKind) {
    case TestKind::StepAscending:
        return kStepAscending;
    case TestKind::StepDescending:
        return kStepDescending;
    default:
        return stepIndex == 1 ? kStrokeAscending : kStrokeDescending;
    }
}

// The text of an answer without the blanks around it.
std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// Where an axis stands in a run's error counts: Zoom 1, Zoom 2, Iris, Focus.
std::size_t countIndexOf(std::string_view axisName)
{
    constexpr std::array kNames{kZoom1Axis, kZoom2Axis, kIrisAxis, kFocusAxis};
    return static_cast<std::size_t>(std::find(kNames.begin(), kNames.end(), axisName) -
                                    kNames.begin());
}

struct Move
{
    int value; // shown, and kept as the step value
    std::string line;
};

// Step k of the step test for an axis, upward or downward. The downward formulas go on from the
// step number the upward half reached, so each half turns at its end point.
Move stepMove(std::int16_t workingAxis, bool ascending, int k)
{
    switch (workingAxis) {
    case kZoom: {
        const int value = ascending ? 75 + 5 * (k - 1) : 925 - 5 * (k - 1);
        return {value, "zoom = " + std::to_string(value)};
    }
    case kIris: {
        const int value = ascending ? k : 12 - k;
        return {value, "iris = " + std::to_string(value)};
    }
    default:
        return {ascending ? k - 1 : 201 - k, ascending ? "focusup = 1" : "focusdn = 1"};
    }
}

struct EndPoint
{
    const char *line;
    const char *label;
};

// Per working axis, the end toward the top (direction 1) and toward the bottom (direction 2).
// The focus ends are direct controller moves of axis D.
constexpr std::array<std::array<EndPoint, 2>, 3> kEndPoints{{
    {{{"zoom = 500", "500"}, {"zoom = 75", "75"}}},
    {{{"iris = 6", "6"}, {"iris = 1", "1"}}},
    {{{"PAD = 10100;BGD", "100"}, {"PAD = 100;BGD", "0"}}},
}};
} // namespace

Sequencer::Sequencer(comm::CommandChannel &channel, RunInView &view, Now now)
    : m_channel(channel), m_clock(channel.clock()), m_tone(channel.tone()), m_view(view),
      m_now(std::move(now))
{}

void Sequencer::start(bool singleStep)
{
    m_view.lockControls();
    m_state.MovePending = false;
    m_state.AbortRequested = false;
    m_state.CompletedCycles = 0;
    m_state.WorkingAxis = kZoom;
    m_state.StepValue = "0";
    m_state.TestKind = singleStep ? TestKind::StepAscending : TestKind::FullStroke;
    m_state.StepIndex = 1;
    m_running = true;
    m_endTold = false;
    m_view.startTicking();
    m_view.setLabelCycles(QStringLiteral("Completed Cycles: 0"));
    m_logs.startRun();
    noteLogFailures();
    m_soFar = RunSoFar{};
    m_soFar.clock = m_clock.now();
    tellProgress();
}

void Sequencer::abort()
{
    tellEnd(RunEnding::Aborted);
    m_view.setLabelStep1(QStringLiteral("-"));
    m_view.setLabelStep2(QStringLiteral("-"));
    for (const Light light : {Light::Axis1, Light::Axis2, Light::Axis3, Light::Test1, Light::Test2})
        m_view.setLight(light, false);
    m_view.unlockControls();
    m_state.AbortRequested = true;
    m_state.MovePending = false;
}

void Sequencer::stop(const QString &reason, RunEnding how)
{
    if (!isRunning())
        return;
    tellEnd(how);
    abort();
    m_view.addListItem(noteLine(stamp(), reason));
}

void Sequencer::clearRunFlags()
{
    m_state.AbortRequested = false;
    m_state.MovePending = false;
}

void Sequencer::tick()
{
    // The line is the sequencer's for the whole tick, so the position readout stays off it.
    const auto hold = m_channel.hold();
    if (m_state.AbortRequested) {
        m_view.stopTicking();
        m_running = false;
        m_view.setLabelStep1(QStringLiteral("-"));
        m_view.setLabelStep2(QStringLiteral("-"));
        return;
    }
    showWorkingAxis();
    if (m_state.MovePending)
        checkCompletion();
    else
        issueStep();
}

void Sequencer::showWorkingAxis()
{
    m_view.setLight(Light::Axis1, m_state.WorkingAxis == kZoom);
    m_view.setLight(Light::Axis2, m_state.WorkingAxis == kIris);
    m_view.setLight(Light::Axis3, m_state.WorkingAxis == kFocus);
}

void Sequencer::checkCompletion()
{
    if (m_state.TestKind == TestKind::None)
        return;
    const std::string_view letter = letterOf(m_state.WorkingAxis);
    const auto sample = samplePosition(letter);
    if (!sample)
        return; // no answer: the next tick samples again
    if (sample->value != m_state.LastPosition) {
        m_state.LastPosition = sample->value; // still moving
        return;
    }

    // Two equal samples in a row: the axis stands still and the move has ended.
    const std::string_view test = testNameOf(m_state.TestKind, m_state.StepIndex);
    const std::string_view axisName = axisNameOf(m_state.WorkingAxis);
    writeReached(axisName, test, sample->text);
    m_clock.sleep(kBeforeErrorQuery);
    reportIfLarge(m_channel.QueryPositionError(letter), axisName, test);
    if (m_state.WorkingAxis == kZoom) {
        // Zoom motor 2 follows motor 1 on the cam; it is read for the log only.
        const auto second = samplePosition(kZoom2Letter);
        const std::string secondError = m_channel.QueryPositionError(kZoom2Letter);
        writeReached(kZoom2Axis, test, second ? std::string_view(second->text) : comm::kNoValue);
        reportIfLarge(secondError, kZoom2Axis, test);
    }
    if (m_state.AbortRequested)
        return; // stopped from outside meanwhile: the run is over
    m_state.MovePending = false;
    m_soFar.lastStep = m_now().toUTC();
    m_soFar.clock = m_clock.now();
    applyTransition();
    if (isRunning())
        tellProgress();
}

void Sequencer::applyTransition()
{
    RunState &s = m_state;
    const auto step = comm::wholeNumberFromText(s.StepValue);
    // The step test of each axis turns downward at its top value and hands over to the next axis
    // at its bottom value; after the focus, the full stroke follows or the run ends.
    const bool known = s.WorkingAxis >= kZoom && s.WorkingAxis <= kFocus;
    const auto axis = static_cast<std::size_t>(known ? s.WorkingAxis - 1 : 0);
    if (known && s.TestKind == TestKind::StepAscending && step == kStepTop.at(axis)) {
        s.TestKind = TestKind::StepDescending;
    } else if (known && s.TestKind == TestKind::StepDescending && step == kStepBottom.at(axis)) {
        if (s.WorkingAxis != kFocus) {
            ++s.WorkingAxis;
            s.TestKind = TestKind::StepAscending;
            s.StepIndex = 1;
        } else if (m_view.fullStrokeTicked()) {
            s.TestKind = TestKind::FullStroke;
            s.StepIndex = 1;
            s.WorkingAxis = kZoom;
        } else {
            finishRun();
        }
    } else if (s.TestKind == TestKind::FullStroke && s.StepIndex == 2) {
        s.StepIndex = 1;
        ++s.WorkingAxis;
        if (s.WorkingAxis > kFocus) {
            ++s.CompletedCycles;
            s.WorkingAxis = kZoom;
            m_view.setLabelCycles(QStringLiteral("Completed Cycles: %1").arg(s.CompletedCycles));
        }
    } else if (s.TestKind == TestKind::FullStroke && s.StepIndex == 1) {
        s.StepIndex = 2;
    }
}

void Sequencer::tellEnd(RunEnding how)
{
    if (m_endTold || !isRunning())
        return;
    m_endTold = true;
    tellProgress();
    if (m_ended)
        m_ended(how, m_state.CompletedCycles);
}

void Sequencer::tellProgress()
{
    m_soFar.completedCycles = m_state.CompletedCycles;
    if (m_progressed)
        m_progressed(m_soFar);
}

void Sequencer::finishRun()
{
    tellEnd(RunEnding::Completed);
    m_state.TestKind = TestKind::None;
    m_view.stopTicking();
    m_running = false;
    m_view.setLabelStep1(QStringLiteral("-"));
    m_view.unlockControls();
    for (const Light light : {Light::Axis1, Light::Axis2, Light::Axis3, Light::Test1})
        m_view.setLight(light, false);
}

void Sequencer::issueStep()
{
    if (m_state.TestKind == TestKind::StepAscending || m_state.TestKind == TestKind::StepDescending)
        issueStepTestMove();
    else if (m_state.TestKind == TestKind::FullStroke)
        issueFullStrokeMove();
}

void Sequencer::issueStepTestMove()
{
    m_view.setLabelStep2(QStringLiteral("-"));
    m_view.setLight(Light::Test1, true);
    m_view.setLight(Light::Test2, false);
    m_state.MovePending = true;

    const Move move = stepMove(m_state.WorkingAxis, m_state.TestKind == TestKind::StepAscending,
                               m_state.StepIndex);
    m_state.StepValue = std::to_string(move.value);
    m_view.setLabelStep1(QString::fromStdString(m_state.StepValue));

    // The first completion check compares with where the axis was before the move.
    const auto start = freshPosition(letterOf(m_state.WorkingAxis));
    if (!start)
        return;
    m_state.LastPosition = *start;
    m_channel.SendLine(move.line);
    m_clock.sleep(kAfterMoveLine);
    ++m_state.StepIndex;
}

void Sequencer::issueFullStrokeMove()
{
    m_view.setLabelStep1(QStringLiteral("-"));
    m_view.setLight(Light::Test1, false);
    m_view.setLight(Light::Test2, true);
    m_state.MovePending = true;

    const auto start = freshPosition(letterOf(m_state.WorkingAxis));
    if (!start)
        return;
    const EndPoint &end = kEndPoints.at(static_cast<std::size_t>(m_state.WorkingAxis - 1))
                              .at(m_state.StepIndex == 1 ? 0 : 1);
    m_channel.SendLine(end.line);
    m_view.setLabelStep2(QString::fromLatin1(end.label));
    m_clock.sleep(kAfterMoveLine);
    m_state.LastPosition = *start;
}

std::optional<Sequencer::Sample> Sequencer::samplePosition(std::string_view letter)
{
    // An answer that is not a number is taken as no answer.
    const std::string answer = m_channel.QueryPosition(letter);
    const auto value = comm::wholeNumberFromText(answer);
    if (!value)
        return std::nullopt;
    return Sample{std::string(trimmed(answer)), *value};
}

std::optional<std::int32_t> Sequencer::freshPosition(std::string_view letter)
{
    // A move never goes out without a fresh position; the query is repeated at once until one
    // comes, for a limited time.
    const platform::Millis since = m_clock.now();
    for (;;) {
        if (const auto sample = samplePosition(letter))
            return sample->value;
        if (m_state.AbortRequested)
            return std::nullopt; // stopped from outside meanwhile
        if (m_clock.now() - since >= kAnswerLimit) {
            stop(kNoAnswer, RunEnding::NoAnswer);
            return std::nullopt;
        }
    }
}

void Sequencer::writeReached(std::string_view axisName, std::string_view testName,
                             std::string_view position)
{
    m_logs.appendComplete(reachedLine(stamp(), axisName, testName, position));
    noteLogFailures();
}

void Sequencer::reportIfLarge(const std::string &errorAnswer, std::string_view axisName,
                              std::string_view testName)
{
    // No answer, or one that is not a number, counts as no error.
    const std::int64_t error = comm::wholeNumberFromText(errorAnswer).value_or(0);
    if (std::abs(error) <= kErrorThreshold)
        return;
    ++m_soFar.errors.at(countIndexOf(axisName));
    const QString line = errorLine(stamp(), trimmed(errorAnswer), axisName, testName);
    m_view.addListItem(line);
    m_logs.appendErrors(line);
    m_logs.appendComplete(line);
    noteLogFailures();
    for (int i = 0; i < kReportTones; ++i) {
        if (i > 0)
            m_clock.sleep(kReportPause);
        m_tone.beep(kReportToneHz, kReportTone);
    }
}

void Sequencer::noteLogFailures()
{
    for (const QString &failure : m_logs.takeFailures())
        m_view.addListItem(noteLine(stamp(), failure));
}

Stamp Sequencer::stamp() const
{
    return stampOf(m_now());
}

} // namespace runin
