#pragma once

#include "logfiles.h"
#include "runrecorder.h"
#include "timestamp.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class Clock;
class Tone;
} // namespace platform

namespace comm {
class CommandChannel;
} // namespace comm

namespace runin {

// Which test a run is in, numbered as the running-in test's description numbers them.
enum class TestKind : std::int16_t {
    None = 0, // before the first run, and after a run that ended by itself
    StepAscending = 1,
    StepDescending = 2,
    FullStroke = 3,
};

// The axis a run moves, numbered as the running-in test's description numbers them. Plain enums
// with a fixed underlying type: the numbers are the state's own and take part in its arithmetic.
enum WorkingAxis : std::int16_t {
    ZoomAxis = 1,
    IrisAxis = 2,
    FocusAxis = 3,
};

// The step test counts its steps from FirstStep on, through both halves of an axis; the
// full-stroke test holds the end being approached.
enum StepIndex : std::int16_t {
    FirstStep = 1,
    UpperEnd = 1,
    LowerEnd = 2,
};

// Where the running-in test stands between two ticks.
enum class RunPhase : std::int8_t {
    Idle,         // no run: none started yet, or the last one ended by itself
    NextMove,     // a run under way; the next tick sends its next move
    AwaitingMove, // a run under way; a move line went out and its end is awaited
    Aborted,      // the run was ended from outside; the next tick stops the timer
};

// What the sequencer keeps from one tick to the next.
struct RunState
{
    RunPhase Phase = RunPhase::Idle;
    // The test under way; an aborted run leaves its last value.
    runin::TestKind Test = runin::TestKind::None;
    // Step test: the next step, counted from 1 for each axis through both halves.
    // Full-stroke test: 1 toward the upper end, 2 toward the lower end.
    runin::StepIndex StepIndex{};
    runin::WorkingAxis WorkingAxis{};
    std::int32_t CompletedCycles = 0;
    // The working axis's last position sample, rounded down.
    std::int32_t LastPosition = 0;
    // The value of the step test's last step, as decimal text.
    std::string StepValue;

    bool operator==(const RunState &) const = default;
};

enum class Light { Axis1, Axis2, Axis3, Test1, Test2 };

// The controls of the running-in frame as the sequencer sees them, and the two things of the
// window it reaches: its control lock and the tick timer.
class RunInView
{
public:
    virtual ~RunInView() = default;

    virtual void setLabelStep1(const QString &text) = 0;
    virtual void setLabelStep2(const QString &text) = 0;
    virtual void setLabelCycles(const QString &text) = 0;
    // Green when active, white when not.
    virtual void setLight(Light light, bool active) = 0;
    // A new last item of the error list.
    virtual void addListItem(const QString &text) = 0;
    virtual bool fullStrokeTicked() = 0;
    virtual void lockControls() = 0;
    virtual void unlockControls() = 0;
    virtual void startTicking() = 0;
    virtual void stopTicking() = 0;
};

// The running-in test: one move per tick, each watched until the axis stands still, every
// position reached logged and every position error above the threshold (kErrorThreshold) reported.
class Sequencer
{
public:
    using Now = std::function<QDateTime()>;
    using Ended = std::function<void(RunEnding how, std::int32_t completedCycles)>;
    using Progressed = std::function<void(const RunSoFar &soFar)>;

    Sequencer(comm::CommandChannel &channel, platform::Clock &clock, platform::Tone &tone,
              RunInView &view, Now now = &QDateTime::currentDateTime);

    // Starts a run: the step test first when `singleStep`, else the full-stroke test.
    void start(bool singleStep);
    // Ends the run at once for the operator; the next tick stops the timer and sends nothing.
    void abort();
    // Ends a run under way as abort does and says why in the error list. Does nothing when no
    // run is under way.
    void stop(const QString &reason, RunEnding how);
    // Told once per run, however it ends, when the run has written its last line: at once, or at
    // the end of the tick it ended in.
    void setEndHandler(Ended ended) { m_ended = std::move(ended); }
    // Told at the start, after every step, and just before the end handler.
    void setProgressHandler(Progressed progressed) { m_progressed = std::move(progressed); }
    // One tick of the timer.
    void tick();

    // Nothing asked to abort and no move awaited: an aborted run is over, an awaited move is
    // forgotten.
    void clearRunFlags();

    [[nodiscard]] bool isRunning() const
    {
        return m_state.Phase == RunPhase::NextMove || m_state.Phase == RunPhase::AwaitingMove;
    }
    [[nodiscard]] const RunState &state() const { return m_state; }

    // The limit of the repeated position query before a move.
    static constexpr std::chrono::milliseconds kAnswerLimit{2000};

private:
    struct Sample
    {
        std::string text; // as answered, blanks around removed
        std::int32_t value;
    };

    void runTick();
    void showWorkingAxis();
    void checkCompletion();
    void issueStep();
    void issueStepTestMove();
    void issueFullStrokeMove();
    void applyTransition();
    void finishRun();
    void endRun(RunPhase next, RunEnding how);
    void tellProgress()
    {
        m_soFar.completedCycles = m_state.CompletedCycles;
        if (m_progressed)
            m_progressed(m_soFar);
    }
    void tellEnded(RunEnding how);

    std::optional<Sample> samplePosition(std::string_view letter);
    std::optional<std::int32_t> freshPosition(std::string_view letter);
    void writeReached(std::string_view axisName, std::string_view testName,
                      std::string_view position);
    void reportIfLarge(const std::string &errorAnswer, std::string_view axisName,
                       std::string_view testName);
    void noteLogFailures();
    [[nodiscard]] Stamp stamp() const;

    comm::CommandChannel &m_channel;
    platform::Clock &m_clock;
    platform::Tone &m_tone;
    RunInView &m_view;
    Now m_now;
    LogFiles m_logs;
    RunState m_state;
    Ended m_ended;
    RunSoFar m_soFar;
    Progressed m_progressed;
    bool m_inTick = false;
    // The end of a run that ended during the tick under way, told when the tick is over.
    std::optional<RunEnding> m_ending;
};

} // namespace runin
