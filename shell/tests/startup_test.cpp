// The start-up sequence of the main window, from its first activation.
#include "testsupport/mainwindowfixture.h"


#include <QComboBox>
#include <QTreeWidget>

#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;

using StartUp = MainWindowFixture;

TEST_F(StartUp, ReadyLens_SendsTheStartUpLinesInOrderAndFillsTheLists)
{
    createOnController();
    showAndStart();

    EXPECT_THAT(linesReceived(), ElementsAre("init = @OUT[01];init=?", "SHX", "SHY", "SHZ", "SHW",
                                             "zoom=75", "iris=1", "PAW=focusmin;BGW"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(form->isVisible());
    const auto *focalLength = find<QComboBox>("ComboFocalLength");
    ASSERT_EQ(focalLength->count(), 86);
    EXPECT_EQ(focalLength->currentIndex(), 0);
    EXPECT_EQ(find<QTreeWidget>("ListView1")->topLevelItemCount(), 86);
    EXPECT_TRUE(find<QTimer>("Timer1")->isActive());
    EXPECT_TRUE(find("Text0")->hasFocus());
    EXPECT_TRUE(form->channel().PendingCount() > 0) << "the acknowledgements stay unread";
}

struct FailurePath
{
    const char *name;
    sim::Faults faults;
    const char *message;
    std::vector<std::string> lines;
};

class StartUpFailure : public StartUp, public testing::WithParamInterface<FailurePath>
{
};

TEST_P(StartUpFailure, ShowsItsMessageSendsNothingFurtherAndEnds)
{
    const FailurePath &path = GetParam();
    createOnController(path.faults);
    showAndStart();

    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, path.message);
    EXPECT_EQ(linesReceived(), path.lines);
    EXPECT_EQ(unloaded->count(), 1);
    EXPECT_FALSE(find<QTimer>("Timer1")->isActive());
}

INSTANTIATE_TEST_SUITE_P(Paths, StartUpFailure,
                         testing::Values(FailurePath{"NoAnswer",
                                                     sim::Faults{.silent = true},
                                                     "Unable to establish connection !",
                                                     {"init = @OUT[01];init=?"}},
                                         FailurePath{"NotInitialised",
                                                     sim::Faults{.notInitialised = true},
                                                     "Lens initialization not completed !",
                                                     {"init = @OUT[01];init=?", "allarme=?"}},
                                         FailurePath{
                                             "Alarm",
                                             sim::Faults{.alarm = 4},
                                             "Initialization not possible! Errore #4",
                                             {"init = @OUT[01];init=?", "allarme=?", "errore=?"}}),
                         [](const auto &path) { return std::string(path.param.name); });

TEST_F(StartUp, AReplyShorterThanThreeCharactersCountsAsReady)
{
    auto &script = createOnScript();
    script.answer(":");
    showAndStart();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(script.written.size(), 8U);
    EXPECT_EQ(script.written.back(), "PAW=focusmin;BGW\r");
}

TEST_F(StartUp, AnAlarmWithAnEmptyErrorReplyEndsTheMessageAtTheHash)
{
    auto &script = createOnScript();
    script.answer(": 0.0000\r\n");
    script.answer(" 11.0000\r\n", platform::Millis{700});
    showAndStart();
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text, "Initialization not possible! Errore #");
}

} // namespace
