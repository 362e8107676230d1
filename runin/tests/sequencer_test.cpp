// The running-in sequencer's moves, transitions and ends, against the in-process controller and
// a scripted one, in virtual time.
#include "runinfixture.h"

#include "runin/loglines.h"
#include "sim/residentprogram.h"

#include <gmock/gmock.h>

#include <tuple>

namespace runin::test {
namespace {

using testing::ElementsAre;
using testing::Each;

// The move lines and shown step values of the whole step test, in order.
std::pair<std::vector<std::string>, std::vector<QString>> expectedStepTest()
{
    std::vector<std::string> lines;
    std::vector<QString> shown;
    const auto add = [&](const std::string &line, int value) {
        lines.push_back(line);
        shown.push_back(QString::number(value));
    };
    for (int mm = 75; mm <= 500; mm += 5)
        add("zoom = " + std::to_string(mm), mm);
    for (int mm = 495; mm >= 75; mm -= 5)
        add("zoom = " + std::to_string(mm), mm);
    for (int stop = 1; stop <= 6; ++stop)
        add("iris = " + std::to_string(stop), stop);
    for (int stop = 5; stop >= 1; --stop)
        add("iris = " + std::to_string(stop), stop);
    for (int step = 0; step <= 100; ++step)
        add("focusup = 1", step);
    for (int step = 99; step >= 0; --step)
        add("focusdn = 1", step);
    return {lines, shown};
}

using Phase = std::tuple<int, int, int>; // TestKind, WorkingAxis, StepIndex at its first move

class StepTest : public SequencerFixture
{
protected:
    // Runs the step test, noting each new phase as its first move goes out.
    std::vector<Phase> runNotingPhases(const std::function<bool()> &done)
    {
        std::vector<Phase> phases;
        EXPECT_TRUE(tickUntil([&] {
            const RunState &s = sequencer->state();
            const Phase phase{s.TestKind, s.WorkingAxis, s.StepIndex};
            if (!s.MovePending && s.TestKind != 0 &&
                (phases.empty() || std::get<0>(phases.back()) != s.TestKind ||
                 std::get<1>(phases.back()) != s.WorkingAxis))
                phases.push_back(phase);
            return done();
        }));
        return phases;
    }
};

TEST_F(StepTest, SingleStepRuns383MovesThroughEveryHalfAndEndsByItself)
{
    onController();
    sequencer->start(true);
    EXPECT_TRUE(view.locked);
    const auto phases = runNotingPhases([] { return false; });

    // Each descending half goes on counting from where its ascending half stopped.
    EXPECT_THAT(phases, ElementsAre(Phase{1, 1, 1}, Phase{2, 1, 87}, Phase{1, 2, 1},
                                    Phase{2, 2, 7}, Phase{1, 3, 1}, Phase{2, 3, 102}));
    const auto [lines, shown] = expectedStepTest();
    ASSERT_EQ(lines.size(), 383U);
    EXPECT_EQ(moveLines(), lines);
    std::vector<QString> values;
    for (const QString &text : view.step1Shown)
        if (text != "-")
            values.push_back(text);
    EXPECT_EQ(values, shown);

    // Ended by itself: timer stopped, controls back, lights white, the cycle count untouched.
    EXPECT_FALSE(view.ticking);
    EXPECT_FALSE(view.locked);
    EXPECT_FALSE(view.anyLightOn());
    EXPECT_EQ(view.step1, "-");
    EXPECT_THAT(view.cyclesShown, ElementsAre("Completed Cycles: 0"));
    EXPECT_EQ(sequencer->state().TestKind, 0);
    EXPECT_FALSE(channel->ChannelBusy);
    // One reached line per move, two for each of the 171 zoom moves; no errors from this lens.
    EXPECT_EQ(logLines(LogFiles::kComplete).size(), 383U + 171U);
    EXPECT_TRUE(view.list.empty());
}

TEST_F(StepTest, WithBothBoxesTheStepTestGoesStraightIntoTheFullStroke)
{
    onController();
    view.fullStroke = true;
    sequencer->start(true);
    const auto phases = runNotingPhases([this] {
        const auto lines = moveLines();
        return !lines.empty() && lines.back() == "zoom = 500" && lines.size() > 383;
    });
    EXPECT_EQ(phases.back(), (Phase{3, 1, 1}));
    EXPECT_EQ(moveLines().size(), 384U);
    EXPECT_EQ(moveLines()[382], "focusdn = 1");
    EXPECT_THAT(view.cyclesShown, ElementsAre("Completed Cycles: 0"));
    EXPECT_EQ(view.step1, "-");
    EXPECT_EQ(view.step2, "500");
    EXPECT_TRUE(view.lights[Light::Test2]);
    EXPECT_FALSE(view.lights[Light::Test1]);
    EXPECT_TRUE(view.ticking);
}

TEST_F(SequencerFixture, FullStrokeCyclesThroughSixEndPointsAndCountsEachCycle)
{
    onController();
    sequencer->start(false);
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().CompletedCycles == 2; }));

    const std::vector<std::string> cycle{"zoom = 500", "zoom = 75",       "iris = 6",
                                         "iris = 1",   "PAD = 10100;BGD", "PAD = 100;BGD"};
    std::vector<std::string> twice = cycle;
    twice.insert(twice.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(moveLines(), twice);
    EXPECT_THAT(view.cyclesShown,
                ElementsAre("Completed Cycles: 0", "Completed Cycles: 1", "Completed Cycles: 2"));
    std::vector<QString> ends;
    for (const QString &text : view.step2Shown)
        if (text != "-")
            ends.push_back(text);
    EXPECT_THAT(ends, ElementsAre("500", "75", "6", "1", "100", "0", "500", "75", "6", "1", "100",
                                  "0"));

    // Each move is logged where the axis came to rest, not where it was passing.
    const auto [zoom1At500, zoom2At500] = sim::ResidentProgram::zoomCam(500);
    const Stamp s = stamp();
    const std::vector<QString> expected{
        reachedLine(s, kZoom1Axis, kStrokeAscending, std::to_string(zoom1At500)),
        reachedLine(s, kZoom2Axis, kStrokeAscending, std::to_string(zoom2At500)),
        reachedLine(s, kZoom1Axis, kStrokeDescending, "0"),
        reachedLine(s, kZoom2Axis, kStrokeDescending, "0"),
        reachedLine(s, kIrisAxis, kStrokeAscending, "6000"),
        reachedLine(s, kIrisAxis, kStrokeDescending, "0"),
        reachedLine(s, kFocusAxis, kStrokeAscending, "10100"),
        reachedLine(s, kFocusAxis, kStrokeDescending, "100"),
    };
    const auto lines = logLines(LogFiles::kComplete);
    ASSERT_EQ(lines.size(), 16U);
    EXPECT_EQ(std::vector<QString>(lines.begin(), lines.begin() + 8), expected);
}

TEST_F(SequencerFixture, AbortClearsTheFrameAtOnceAndTheNextTickOnlyStopsTheTimer)
{
    onController();
    sequencer->start(false);
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().LastPosition > 10000; }));
    ASSERT_TRUE(sequencer->state().MovePending);
    const auto linesBefore = controller->receivedLines().size();

    sequencer->abort();
    EXPECT_EQ(view.step1, "-");
    EXPECT_EQ(view.step2, "-");
    EXPECT_FALSE(view.anyLightOn());
    EXPECT_FALSE(view.locked);
    EXPECT_TRUE(view.ticking); // the next tick stops it
    EXPECT_TRUE(sequencer->state().AbortRequested);
    EXPECT_FALSE(sequencer->state().MovePending);
    EXPECT_FALSE(sequencer->isRunning());

    view.step2 = "stale";
    clock.advance(comm::Millis(100));
    sequencer->tick();
    EXPECT_FALSE(view.ticking);
    EXPECT_EQ(view.step2, "-");
    EXPECT_FALSE(channel->ChannelBusy);
    EXPECT_EQ(controller->receivedLines().size(), linesBefore);
    EXPECT_TRUE(logLines(LogFiles::kComplete).empty());
    EXPECT_EQ(sequencer->state().TestKind, 3); // an aborted run keeps its kind
}

TEST_F(SequencerFixture, ChannelIsBusyForEveryLineOfATickAndFreeBetweenTicks)
{
    auto &script = onScript();
    sequencer->start(true);
    ASSERT_TRUE(tickUntil([&] { return script.moves.size() == 3; }));
    EXPECT_FALSE(script.busyAtWrite.empty());
    EXPECT_THAT(script.busyAtWrite, Each(true));
    EXPECT_FALSE(channel->ChannelBusy);
}

TEST_F(SequencerFixture, NoAnswerOrNoNumberInACompletionCheckChangesNothing)
{
    auto &script = onScript();
    sequencer->start(true);
    clock.advance(comm::Millis(100));
    sequencer->tick(); // the first move goes out
    ASSERT_TRUE(sequencer->state().MovePending);

    for (const char *answer : {"", "12ab", "###", ": 1000"}) {
        if (*answer == '\0')
            script.positions.erase("A");
        else
            script.positions["A"] = answer;
        const RunState before = sequencer->state();
        for (int i = 0; i < 3; ++i) {
            clock.advance(comm::Millis(100));
            sequencer->tick();
            EXPECT_EQ(sequencer->state(), before) << answer;
        }
    }
    EXPECT_TRUE(logLines(LogFiles::kComplete).empty());

    // Once it answers again the move is seen to have ended.
    script.positions["A"] = " 1000 ";
    ASSERT_TRUE(tickUntil([&] { return !sequencer->state().MovePending; }, 5));
    EXPECT_EQ(logLines(LogFiles::kComplete).front(),
              reachedLine(stamp(), kZoom1Axis, kStepAscending, "1000"));
}

TEST_F(SequencerFixture, AControllerSilentBeforeAMoveStopsTheRunAfterTwoSeconds)
{
    auto &script = onScript();
    script.positions.erase("A");
    sequencer->start(true);
    clock.advance(comm::Millis(100));
    const comm::Millis before = clock.now();
    sequencer->tick();

    const comm::Millis spent = clock.now() - before;
    EXPECT_GE(spent, Sequencer::kAnswerLimit);
    EXPECT_LT(spent, Sequencer::kAnswerLimit + comm::Millis(100));
    EXPECT_TRUE(script.moves.empty()); // never a move without a fresh position
    EXPECT_FALSE(view.locked);
    EXPECT_FALSE(view.anyLightOn());
    EXPECT_EQ(view.step1, "-");
    EXPECT_EQ(view.step2, "-");
    EXPECT_THAT(view.list, ElementsAre(noteLine(stamp(), "The controller stopped answering during "
                                                         "the running-in test; the test was "
                                                         "stopped.")));
    EXPECT_FALSE(channel->ChannelBusy);

    clock.advance(comm::Millis(100));
    sequencer->tick();
    EXPECT_FALSE(view.ticking);
    EXPECT_TRUE(script.moves.empty());

    // A stop when no run is under way changes nothing.
    sequencer->stop("again");
    EXPECT_EQ(view.list.size(), 1U);
}

} // namespace
} // namespace runin::test
