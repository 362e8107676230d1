// The running-in frame in the main window: its check boxes, START and ABORT with the window's
// control lock, against the in-process controller.
#include "shell/tests/mainwindowfixture.h"

#include "lens/lenspart.h"
#include "runin/logfiles.h"
#include "runin/runinpart.h"
#include "ui/form.h"
#include "ui/shape.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace {

using testing::Each;

class RunInFrame : public MainWindowFixture
{
protected:
    RunInFrame() : m_home(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~RunInFrame() override { QDir::setCurrent(m_home); }

    void startWith(sim::Faults faults = {})
    {
        createOnController(faults);
        showAndStart();
        part = &form->runIn();
    }

    // Ticks every 100 ms while the timer runs, until `done` holds.
    template <class Done> bool tickUntil(Done done, int limit = 20000)
    {
        for (int i = 0; i < limit && part->Timer3.isActive() && !done(); ++i) {
            clock.advance(platform::Millis(100));
            part->Timer3_Timer();
        }
        return done();
    }

    std::vector<QColor> lights() const
    {
        std::vector<QColor> colours;
        for (const ui::Shape *light : {part->LightAxis1, part->LightAxis2, part->LightAxis3,
                                       part->LightTest1, part->LightTest2})
            colours.push_back(light->fillColor());
        return colours;
    }

    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    runin::RunInPart *part = nullptr;

private:
    QTemporaryDir m_dir;
    QString m_home;
};

TEST_F(RunInFrame, TheBoxesStartAndAbortRunThroughTheWindowsLock)
{
    startWith();
    EXPECT_FALSE(part->CommandStart->isEnabled());
    click(part->CheckSingleStep);
    EXPECT_TRUE(part->CommandStart->isEnabled());
    click(part->CheckSingleStep);
    EXPECT_FALSE(part->CommandStart->isEnabled());
    click(part->CheckFullSroke);
    EXPECT_TRUE(part->CommandStart->isEnabled());

    for (const char *name : {runin::LogFiles::kComplete, runin::LogFiles::kErrors}) {
        QFile old(QString::fromLatin1(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("last run\r\n");
    }
    click(part->CommandStart);
    EXPECT_FALSE(find("ComboFocalLength")->isEnabled());
    EXPECT_FALSE(part->CheckFullSroke->isEnabled());
    EXPECT_TRUE(part->CommandAbort->isEnabled());
    EXPECT_EQ(part->LabelCycles->text(), "Completed Cycles: 0");
    EXPECT_EQ(QFileInfo(runin::LogFiles::kComplete).size(), 0);
    EXPECT_EQ(QFileInfo(runin::LogFiles::kErrors).size(), 0);

    ASSERT_TRUE(tickUntil([this] { return part->state().LastPosition > 0; }));
    EXPECT_EQ(part->LightTest2->fillColor(), ui::colour::kGreen);
    EXPECT_EQ(part->LightAxis1->fillColor(), ui::colour::kGreen);
    EXPECT_EQ(part->LabelStep2->text(), "500");

    click(part->CommandAbort);
    EXPECT_EQ(part->LabelStep1->text(), "-");
    EXPECT_EQ(part->LabelStep2->text(), "-");
    EXPECT_THAT(lights(), Each(ui::colour::kWhite));
    EXPECT_TRUE(find("ComboFocalLength")->isEnabled());
    EXPECT_TRUE(part->CommandStart->isEnabled());
    EXPECT_FALSE(part->CommandAbort->isEnabled());

    const auto sent = controller->receivedLines().size();
    clock.advance(platform::Millis(100));
    part->Timer3_Timer();
    EXPECT_FALSE(part->Timer3.isActive());
    EXPECT_EQ(controller->receivedLines().size(), sent);
    EXPECT_FALSE(form->channel().busy());
    EXPECT_EQ(QFileInfo(runin::LogFiles::kComplete).size(), 0);
}

} // namespace
