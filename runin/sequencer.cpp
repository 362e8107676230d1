#include "sequencer.h"

#include "loglines.h"
#include "workingaxes.h"

#include "base/numbertext.h"
#include "link/channel.h"
#include "platform/clock.h"
#include "platform/tone.h"

#include <cmath>
#include <utility>

namespace runin {

namespace {
using platform::Millis;

constexpr platform::Millis kAfterMoveLine{50};
constexpr platform::Millis kBeforeErrorQuery{200};
constexpr int kReportToneHz = 1000;
constexpr platform::Millis kReportTone{1000};
constexpr platform::Millis kReportPause{20};
constexpr int kReportTones = 3;

const QString kNoAnswer =
    QStringLiteral("The controller stopped answering during the running-in test; the test was "
                   "stopped.");

// The sequencer addresses the axes by the controller's alternative letters: zoom motor 1 stands
// for the zoom, motor 2 is read for the log only.
constexpr std::string_view kZoom2Letter = comm::kAlternativeAxisLetters[1];

std::string_view testNameOf(TestKind testKind, StepIndex stepIndex)
{
    switch (testKind) {
    case TestKind::StepAscending:
        return kStepAscending;
    case TestKind::StepDescending:
        return kStepDescending;
    default:
        return stepIndex == UpperEnd ? kStrokeAscending : kStrokeDescending;
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

struct Move
{
    int value; // shown, and kept as the step value
    std::string line;
};

Move stepMove(const StepMoves &steps, bool ascending, int k)
{
    const int value = steps.value(ascending, k);
    std::string line(ascending ? steps.up : steps.down);
    if (steps.withValue)
        line += std::to_string(value);
    return {value, std::move(line)};
}
} // namespace

Sequencer::Sequencer(comm::CommandChannel &channel, platform::Clock &clock, platform::Tone &tone,
                     RunInView &view, Now now)
    : m_channel(channel), m_clock(clock), m_tone(tone), m_view(view), m_now(std::move(now))
{}

void Sequencer::start(bool singleStep)
{
    m_view.lockControls();
    m_state.Phase = RunPhase::NextMove;
    m_state.CompletedCycles = 0;
    m_state.WorkingAxis = ZoomAxis;
    m_state.StepValue = std::string("0"); // a fresh string: g++ 12 warns wrongly on assigning "0"
    m_state.Test = singleStep ? TestKind::StepAscending : TestKind::FullStroke;
    m_state.StepIndex = FirstStep;
    m_view.startTicking();
    m_view.setLabelCycles(QStringLiteral("Completed Cycles: 0"));
    m_logs.startRun();
    noteLogFailures();
    m_soFar = RunSoFar{0, {}, {}, m_clock.now()};
    tellProgress();
}

void Sequencer::abort()
{
    endRun(RunPhase::Aborted, RunEnding::Aborted);
    m_view.setLabelStep1(QStringLiteral("-"));
    m_view.setLabelStep2(QStringLiteral("-"));
    for (const Light light : {Light::Axis1, Light::Axis2, Light::Axis3, Light::Test1, Light::Test2})
        m_view.setLight(light, false);
    m_view.unlockControls();
}

void Sequencer::stop(const QString &reason, RunEnding how)
{
    if (!isRunning())
        return;
    endRun(RunPhase::Aborted, how);
    abort(); // the run is over already: it only clears the lights and gives the controls back
    m_view.addListItem(noteLine(stamp(), reason));
}

void Sequencer::clearRunFlags()
{
    if (m_state.Phase == RunPhase::Aborted)
        m_state.Phase = RunPhase::Idle;
    else if (m_state.Phase == RunPhase::AwaitingMove)
        m_state.Phase = RunPhase::NextMove;
}

void Sequencer::tick()
{
    m_inTick = true;
    runTick();
    m_inTick = false;
    // A run that ended during the tick is told only now, with its last line written: whoever
    // keeps the run takes the logs as they stand.
    if (const auto ending = std::exchange(m_ending, std::nullopt))
        tellEnded(*ending);
}

void Sequencer::runTick()
{
    // The line is the sequencer's for the whole tick, so the position readout stays off it.
    const auto hold = m_channel.hold();
    if (m_state.Phase == RunPhase::Aborted) {
        m_view.stopTicking();
        m_view.setLabelStep1(QStringLiteral("-"));
        m_view.setLabelStep2(QStringLiteral("-"));
        return;
    }
    showWorkingAxis();
    if (m_state.Phase == RunPhase::AwaitingMove)
        checkCompletion();
    else
        issueStep();
}

void Sequencer::showWorkingAxis()
{
    for (const AxisFacts *facts : {&kZoomFacts, &kIrisFacts, &kFocusFacts})
        m_view.setLight(facts->light, m_state.WorkingAxis == facts->axis);
}

void Sequencer::checkCompletion()
{
    if (m_state.Test == TestKind::None)
        return;
    const AxisFacts &axis = factsOf(m_state.WorkingAxis);
    const auto sample = samplePosition(axis.letter);
    if (!sample)
        return; // no answer: the next tick samples again
    if (sample->value != m_state.LastPosition) {
        m_state.LastPosition = sample->value; // still moving
        return;
    }

    // Two equal samples in a row: the axis stands still and the move has ended.
    const std::string_view test = testNameOf(m_state.Test, m_state.StepIndex);
    writeReached(axis.name, test, sample->text);
    m_clock.sleep(kBeforeErrorQuery);
    reportIfLarge(m_channel.QueryPositionError(axis.letter), axis.name, test);
    if (m_state.WorkingAxis == ZoomAxis) {
        // Zoom motor 2 follows motor 1 on the cam; it is read for the log only.
        const auto second = samplePosition(kZoom2Letter);
        const std::string secondError = m_channel.QueryPositionError(kZoom2Letter);
        writeReached(kZoom2Axis, test, second ? std::string_view(second->text) : comm::kNoValue);
        reportIfLarge(secondError, kZoom2Axis, test);
    }
    if (m_state.Phase == RunPhase::Aborted)
        return; // stopped from outside meanwhile: the run is over
    m_state.Phase = RunPhase::NextMove;
    m_soFar.lastStep = m_now().toUTC();
    m_soFar.clock = m_clock.now();
    applyTransition();
    if (isRunning())
        tellProgress();
}

void Sequencer::applyTransition()
{
    RunState &s = m_state;
    const auto step = base::wholeNumberFromText(s.StepValue);
    // The step test of each axis turns downward at its top value and hands over to the next axis
    // at its bottom value; after the focus, the full stroke follows or the run ends.
    const bool known = isWorkingAxis(s.WorkingAxis);
    const StepMoves &steps = factsOf(s.WorkingAxis).steps;
    if (known && s.Test == TestKind::StepAscending && step == steps.top) {
        s.Test = TestKind::StepDescending;
    } else if (known && s.Test == TestKind::StepDescending && step == steps.first) {
        if (s.WorkingAxis != FocusAxis) {
            s.WorkingAxis = nextAxis(s.WorkingAxis);
            s.Test = TestKind::StepAscending;
            s.StepIndex = FirstStep;
        } else if (m_view.fullStrokeTicked()) {
            s.Test = TestKind::FullStroke;
            s.StepIndex = UpperEnd;
            s.WorkingAxis = ZoomAxis;
        } else {
            finishRun();
        }
    } else if (s.Test == TestKind::FullStroke && s.StepIndex == LowerEnd) {
        s.StepIndex = UpperEnd;
        s.WorkingAxis = nextAxis(s.WorkingAxis);
        if (s.WorkingAxis > FocusAxis) {
            ++s.CompletedCycles;
            s.WorkingAxis = ZoomAxis;
            m_view.setLabelCycles(QStringLiteral("Completed Cycles: %1").arg(s.CompletedCycles));
        }
    } else if (s.Test == TestKind::FullStroke && s.StepIndex == UpperEnd) {
        s.StepIndex = LowerEnd;
    }
}

void Sequencer::endRun(RunPhase next, RunEnding how)
{
    const bool wasRunning = isRunning();
    m_state.Phase = next;
    if (!wasRunning)
        return;
    if (m_inTick)
        m_ending = how; // the tick may still write a line
    else
        tellEnded(how);
}

void Sequencer::tellEnded(RunEnding how)
{
    tellProgress();
    if (m_ended)
        m_ended(how, m_state.CompletedCycles);
}

void Sequencer::finishRun()
{
    endRun(RunPhase::Idle, RunEnding::Completed);
    m_state.Test = TestKind::None;
    m_view.stopTicking();
    m_view.setLabelStep1(QStringLiteral("-"));
    m_view.unlockControls();
    for (const Light light : {Light::Axis1, Light::Axis2, Light::Axis3, Light::Test1})
        m_view.setLight(light, false);
}

void Sequencer::issueStep()
{
    if (m_state.Test == TestKind::StepAscending || m_state.Test == TestKind::StepDescending)
        issueStepTestMove();
    else if (m_state.Test == TestKind::FullStroke)
        issueFullStrokeMove();
}

void Sequencer::issueStepTestMove()
{
    m_view.setLabelStep2(QStringLiteral("-"));
    m_view.setLight(Light::Test1, true);
    m_view.setLight(Light::Test2, false);
    m_state.Phase = RunPhase::AwaitingMove;

    const AxisFacts &axis = factsOf(m_state.WorkingAxis);
    const Move move =
        stepMove(axis.steps, m_state.Test == TestKind::StepAscending, m_state.StepIndex);
    m_state.StepValue = std::to_string(move.value);
    m_view.setLabelStep1(QString::fromStdString(m_state.StepValue));

    // The first completion check compares with where the axis was before the move.
    const auto start = freshPosition(axis.letter);
    if (!start)
        return;
    m_state.LastPosition = *start;
    m_channel.SendLine(move.line);
    m_clock.sleep(kAfterMoveLine);
    m_state.StepIndex = static_cast<StepIndex>(m_state.StepIndex + 1);
}

void Sequencer::issueFullStrokeMove()
{
    m_view.setLabelStep1(QStringLiteral("-"));
    m_view.setLight(Light::Test1, false);
    m_view.setLight(Light::Test2, true);
    m_state.Phase = RunPhase::AwaitingMove;

    const AxisFacts &axis = factsOf(m_state.WorkingAxis);
    const auto start = freshPosition(axis.letter);
    if (!start)
        return;
    const EndPoint &end = m_state.StepIndex == UpperEnd ? axis.upper : axis.lower;
    m_channel.SendLine(end.line);
    m_view.setLabelStep2(QString::fromLatin1(end.label.data(), qsizetype(end.label.size())));
    m_clock.sleep(kAfterMoveLine);
    m_state.LastPosition = *start;
}

std::optional<Sequencer::Sample> Sequencer::samplePosition(std::string_view letter)
{
    // An answer that is not a number is taken as no answer.
    const std::string answer = m_channel.QueryPosition(letter);
    const auto value = base::wholeNumberFromText(answer);
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
        if (m_state.Phase == RunPhase::Aborted)
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
    const std::int64_t error = base::wholeNumberFromText(errorAnswer).value_or(0);
    if (std::abs(error) <= kErrorThreshold)
        return;
    ++m_soFar.errors.at(loggedAxisIndex(axisName));
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
