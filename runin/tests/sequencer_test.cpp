// The running-in sequencer's moves, transitions and ends, in virtual time.
#include "runinfixture.h"

#include "sim/residentprogram.h"

#include <gmock/gmock.h>

#include <tuple>

namespace runin::test {
namespace {

using testing::Each;
using testing::ElementsAre;

using Phase = std::tuple<int, int, int>; // TestKind, WorkingAxis, StepIndex at its first move

class Sequence : public SequencerFixture
{
protected:
    // Ticks until `done`, noting each new (TestKind, WorkingAxis) as its first move goes out.
    template <class Done> std::vector<Phase> phasesUntil(Done done)
    {
        std::vector<Phase> phases;
        tickUntil([&] {
            const RunState &s = sequencer->state();
            const int kind = static_cast<int>(s.Test);
            if (s.Phase != RunPhase::AwaitingMove && kind != 0 &&
                (phases.empty() || std::get<0>(phases.back()) != kind ||
                 std::get<1>(phases.back()) != s.WorkingAxis))
                phases.emplace_back(kind, s.WorkingAxis, s.StepIndex);
            return done();
        });
        return phases;
    }
    std::vector<std::string> moveLines() const
    {
        std::vector<std::string> lines;
        for (const auto &line : controller->receivedLines())
            if (line.text.rfind("TP", 0) != 0 && line.text.rfind("erorre", 0) != 0)
                lines.push_back(line.text);
        return lines;
    }
};

TEST_F(Sequence, SingleStepRuns383MovesThroughEveryHalfAndEndsByItself)
{
    onController();
    sequencer->start(true);
    EXPECT_TRUE(view.locked);
    // Each descending half goes on counting from where its ascending half stopped.
    EXPECT_THAT(phasesUntil([] { return false; }),
                ElementsAre(Phase{1, 1, 1}, Phase{2, 1, 87}, Phase{1, 2, 1}, Phase{2, 2, 7},
                            Phase{1, 3, 1}, Phase{2, 3, 102}));

    std::vector<std::string> expected;
    for (int mm = 75; mm <= 500; mm += 5)
        expected.push_back("zoom = " + std::to_string(mm));
    for (int mm = 495; mm >= 75; mm -= 5)
        expected.push_back("zoom = " + std::to_string(mm));
    for (const int stop : {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1})
        expected.push_back("iris = " + std::to_string(stop));
    expected.insert(expected.end(), 101, "focusup = 1");
    expected.insert(expected.end(), 100, "focusdn = 1");
    EXPECT_EQ(moveLines(), expected);

    EXPECT_FALSE(view.ticking || view.locked || view.anyLightOn());
    EXPECT_EQ(view.step1, "-");
    EXPECT_THAT(view.cycles, ElementsAre("Completed Cycles: 0"));
    EXPECT_EQ(sequencer->state().Test, TestKind::None);
    // Two reached lines for each of the 171 zoom moves; this lens makes no large errors.
    EXPECT_EQ(logLines(LogFiles::kComplete).size(), 383U + 171U);
    EXPECT_TRUE(view.list.empty());
}

TEST_F(Sequence, WithBothBoxesTheStepTestGoesStraightIntoTheFullStroke)
{
    onController();
    view.fullStroke = true;
    sequencer->start(true);
    const auto phases = phasesUntil([this] { return moveLines().size() == 384; });
    EXPECT_EQ(phases.back(), (Phase{3, 1, 1}));
    EXPECT_EQ(moveLines().back(), "zoom = 500");
    EXPECT_THAT(view.cycles, ElementsAre("Completed Cycles: 0"));
    EXPECT_EQ(view.step1, "-");
    EXPECT_EQ(view.step2, "500");
    EXPECT_TRUE(view.lights[Light::Test2] && !view.lights[Light::Test1]);
}

TEST_F(Sequence, FullStrokeCyclesThroughSixEndPointsAndCountsEachCycle)
{
    onController();
    std::vector<std::int32_t> toldCycles;
    sequencer->setProgressHandler(
        [&toldCycles](const RunSoFar &soFar) { toldCycles.push_back(soFar.completedCycles); });
    sequencer->start(false);
    ASSERT_TRUE(tickUntil([this] { return sequencer->state().CompletedCycles == 2; }));
    // Told at the start and after each of the twelve moves, the cycle counted with its last move.
    EXPECT_THAT(toldCycles, ElementsAre(0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 2));
    const std::vector<std::string> cycle{"zoom = 500", "zoom = 75",       "iris = 6",
                                         "iris = 1",   "PAD = 10100;BGD", "PAD = 100;BGD"};
    auto twice = cycle;
    twice.insert(twice.end(), cycle.begin(), cycle.end());
    EXPECT_EQ(moveLines(), twice);
    EXPECT_THAT(view.cycles,
                ElementsAre("Completed Cycles: 0", "Completed Cycles: 1", "Completed Cycles: 2"));

    // Each move is logged where the axis came to rest, not where it was passing.
    const auto lines = logLines(LogFiles::kComplete);
    ASSERT_EQ(lines.size(), 16U);
    EXPECT_EQ(lines[1], reachedLine(stamp(), kZoom2Axis, kStrokeAscending,
                                    std::to_string(sim::ResidentProgram::zoomCam(500).second)));
    EXPECT_EQ(lines[6], reachedLine(stamp(), kFocusAxis, kStrokeAscending, "10100"));
}

TEST_F(Sequence, NoAnswerOrNoNumberDuringACompletionCheckChangesNothing)
{
    auto &script = onScript();
    sequencer->start(true);
    clock.advance(platform::Millis(100));
    sequencer->tick(); // the first move goes out
    for (const char *answer : {"", "12ab", "###", ": 1000"}) {
        if (*answer == '\0')
            script.positions.erase("A");
        else
            script.positions["A"] = answer;
        const RunState before = sequencer->state();
        for (int i = 0; i < 3; ++i) {
            clock.advance(platform::Millis(100));
            sequencer->tick();
            EXPECT_EQ(sequencer->state(), before) << answer;
        }
    }
    EXPECT_TRUE(logLines(LogFiles::kComplete).empty());
    script.positions["A"] = " 1000 ";
    ASSERT_TRUE(firstMoveEnded());
    EXPECT_EQ(logLines(LogFiles::kComplete).front(),
              reachedLine(stamp(), kZoom1Axis, kStepAscending, "1000"));
    // The readout stays off the line for every exchange of a tick, and only then.
    EXPECT_THAT(script.busyAtWrite, Each(true));
    EXPECT_FALSE(channel->busy());
}

TEST_F(Sequence, AControllerSilentBeforeAMoveStopsTheRunAfterTwoSeconds)
{
    auto &script = onScript();
    script.positions.erase("A");
    sequencer->start(true);
    const platform::Millis before = clock.now();
    tickUntil([this] { return !sequencer->isRunning(); });

    EXPECT_GE(clock.now() - before, Sequencer::kAnswerLimit);
    EXPECT_LT(clock.now() - before, Sequencer::kAnswerLimit + platform::Millis(200));
    EXPECT_TRUE(script.moves.empty()); // never a move without a fresh position
    EXPECT_FALSE(view.locked || view.anyLightOn());
    EXPECT_THAT(view.list, ElementsAre(noteLine(stamp(), "The controller stopped answering during "
                                                         "the running-in test; the test was "
                                                         "stopped.")));
    clock.advance(platform::Millis(100));
    sequencer->tick();
    EXPECT_FALSE(view.ticking);
    EXPECT_TRUE(script.moves.empty());
}

} // namespace
} // namespace runin::test
