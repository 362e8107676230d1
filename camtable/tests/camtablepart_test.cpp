// The cam table list: recording from the readout, replaying, and keeping the table in its file.
#include "testsupport/camtext.h"
#include "testsupport/infolder.h"
#include "testsupport/mainwindowfixture.h"

#include "axes/axespart.h"
#include "camtable/camtablepart.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

struct Shown
{
    bool checked;
    QString zoom1;
    QString zoom2;
    friend bool operator==(const Shown &, const Shown &) = default;
    friend void PrintTo(const Shown &row, std::ostream *out)
    {
        *out << (row.checked ? "[x] " : "[ ] ") << row.zoom1.toStdString() << " | "
             << row.zoom2.toStdString();
    }
};

// Keeps nothing: it is handed what was saved and answers when the test says.
struct HeldRecorder final : camtable::CamRecorder
{
    void keepCamTable(const QByteArray &bytes, int rowsRecorded, OutcomeHandler done) override
    {
        handed.emplace_back(bytes, rowsRecorded);
        answers.push_back(std::move(done));
    }
    std::vector<std::pair<QByteArray, int>> handed;
    std::vector<OutcomeHandler> answers;
};

class CamTable : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_drive.isValid());
        qputenv("VELMARO_DRIVE_C", QFile::encodeName(m_drive.path()));
        camRecorder = &recorder;
        // The tests tick the readout themselves, once the zoom axes stand where they want them.
        startQuiet();
        list = find<QTreeWidget>("ListView1");
    }

    void TearDown() override
    {
        form.reset(); // before the recorder it hands the tables to
        qunsetenv("VELMARO_DRIVE_C");
    }

    QTreeWidgetItem *row(int n) const { return list->topLevelItem(n - 1); }

    Shown shown(int n) const
    {
        return {row(n)->checkState(0) == Qt::Checked, row(n)->text(2), row(n)->text(3)};
    }

    std::vector<Shown> everyRow() const
    {
        std::vector<Shown> rows;
        for (int n = 1; n <= camtable::kRowCount; ++n)
            rows.push_back(shown(n));
        return rows;
    }

    // Clicks where the operator would: on the row's check box, or on its Zoom 1 cell.
    void clickCheckBox(int n)
    {
        list->scrollToItem(row(n));
        QStyleOptionViewItem option;
        option.initFrom(list->viewport());
        option.rect = list->visualRect(list->model()->index(n - 1, 0));
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QRect box =
            list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
    }

    void clickRow(int n)
    {
        list->scrollToItem(row(n));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(n - 1, 2)).center());
    }

    // Both zoom axes moved there and read by the readout, whose last reading a tick records.
    void zoomAt(std::int32_t zoom1, std::int32_t zoom2)
    {
        clock.advance(platform::Millis{30000}); // any move under way has ended
        form->channel().SendLine("PAX=" + std::to_string(zoom1) + ";PAY=" + std::to_string(zoom2) +
                                 ";BGXY");
        clock.advance(platform::Millis{30000});
        tick("Timer1"); // takes the acknowledgements with the first answer
        tick("Timer1");
        ASSERT_EQ(form->state().ActualPosZoom1, zoom1);
        ASSERT_EQ(form->state().ActualPosZoom2, zoom2);
    }

    void record(int n, std::int32_t zoom1, std::int32_t zoom2)
    {
        zoomAt(zoom1, zoom2);
        markSent();
        clickCheckBox(n);
        ASSERT_EQ(shown(n), (Shown{true, QString::number(zoom1), QString::number(zoom2)}));
        ASSERT_THAT(sent(), IsEmpty()) << "recording moves nothing";
    }

    QString filePath() const { return m_drive.filePath("Camma.txt"); }

    void writeFile(const std::map<int, QByteArray> &lines, int count = 86) const
    {
        ASSERT_TRUE(testsupport::writeFile(filePath(), testsupport::camText(lines, count)));
    }
    QByteArray fileBytes() const { return testsupport::fileBytes(filePath()); }

    void load(bool answer = true)
    {
        dialogs.yesNoAnswers.push_back(answer);
        QTest::mouseClick(find("CommandCarica"), Qt::LeftButton);
    }

    QTreeWidget *list = nullptr;
    HeldRecorder recorder;

private:
    QTemporaryDir m_drive;
};

// Recording, replaying at the default speeds, clearing with Yes, saving and loading back are the
// end-to-end test's; here the speeds as typed, the space bar, and a No that keeps the row.
TEST_F(CamTable, ReplayUsesTheJogSpeedsAsTyped_SpaceTicks_NoKeepsTheRow)
{
    record(10, 812, -441);
    for (const auto &[box, speed] : {std::pair{"JogSpeed(0)", "250"}, {"JogSpeed(1)", " -7x"}}) {
        find<QLineEdit>(box)->selectAll();
        QTest::keyClicks(find<QLineEdit>(box), speed);
    }
    markSent();
    clickRow(10);
    EXPECT_THAT(sent(), ElementsAre("SP250, -7x", "PAX=812", "PAY=-441", "BGXY"));

    // The space bar ticks the current row too, whichever of its cells is current.
    zoomAt(5, 0);
    list->setCurrentItem(row(20), 3);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(shown(20), (Shown{true, "5", "0"}));

    // Had the program's own re-tick been taken for the operator's, these would be recorded.
    zoomAt(1, 2);
    markSent();
    dialogs.yesNoAnswers = {false};
    clickCheckBox(10);
    EXPECT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(shown(10), (Shown{true, "812", "-441"}));
    EXPECT_THAT(sent(), IsEmpty());
}

TEST_F(CamTable, LoadingSetsMarksWithoutRecording_AHalfRowSendsNothing_ABadCellStopsASave)
{
    writeFile({{3, "85;100;200"},
               {4, "90;;200"},
               {5, "999;1;2;;3"},
               {6, "100;12.5;3000000000"},
               {86, "0;-9;9"}});
    zoomAt(77, 77);
    const auto empty = everyRow();
    load(false);
    EXPECT_EQ(everyRow(), empty) << "No leaves the table alone";
    dialogs.shown.clear();
    load();
    EXPECT_EQ(dialogs.shown.size(), 1U) << "only the question, no record-or-clear";
    EXPECT_EQ(shown(3), (Shown{true, "100", "200"}));
    EXPECT_EQ(shown(4), (Shown{false, "", "200"}));
    EXPECT_EQ(shown(5), (Shown{true, "1", "2;;3"}));
    EXPECT_EQ(shown(86), (Shown{true, "-9", "9"}));
    EXPECT_EQ(row(86)->text(1), "500") << "the focal length field is not read";

    markSent();
    clickRow(4);
    EXPECT_THAT(sent(), IsEmpty());

    const QByteArray old = fileBytes();
    const auto before = everyRow();
    dialogs.shown.clear();
    QTest::mouseClick(find("CommandSalva"), Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_THAT(dialogs.shown[0].text.toStdString(),
                HasSubstr("row 5 (95 mm), Pos Zoom 2 holds \"2;;3\", which is not a number"));
    EXPECT_THAT(dialogs.shown[0].text.toStdString(),
                HasSubstr(QDir::toNativeSeparators(filePath()).toStdString()));
    EXPECT_EQ(fileBytes(), old);
    EXPECT_EQ(everyRow(), before);

    // Without the row that holds no number, the hand-edited numbers are written back as numbers.
    dialogs.yesNoAnswers = {true};
    clickCheckBox(5);
    dialogs.shown.clear();
    QTest::mouseClick(find("CommandSalva"), Qt::LeftButton);
    EXPECT_THAT(dialogs.shown, IsEmpty());
    EXPECT_THAT(fileBytes().toStdString(),
                HasSubstr("\r\n95;;\r\n100;12.5;3000000000\r\n105;;\r\n"));
}

TEST_F(CamTable, ARefusedFileLeavesTheTableAsItWas_AndSaysWhichFileAndLine)
{
    record(10, 812, -441);
    record(11, 900, -500);
    const auto before = everyRow();
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[this] { QFile::remove(filePath()); }, "No such file or directory"},
        {[this] { writeFile({}, 85); }, "ends after line 85"},
        {[this] {
             writeFile({{1, "75;1;2"}, {40, "270;1"}});
         },
         "line 40"},
    };
    for (const auto &[prepare, says] : cases) {
        prepare();
        dialogs.shown.clear();
        load();
        ASSERT_EQ(dialogs.shown.size(), 2U) << says;
        EXPECT_THAT(dialogs.shown[1].text.toStdString(), HasSubstr(says));
        EXPECT_THAT(dialogs.shown[1].text.toStdString(),
                    HasSubstr(QDir::toNativeSeparators(filePath()).toStdString()));
        EXPECT_EQ(everyRow(), before) << says;
    }
}

TEST_F(CamTable, EverySaveIsHandedOnAsWritten_ARecordNotKeptIsToldOnceTheKeeperAnswers)
{
    record(10, 812, -441);
    record(11, 900, -500);
    QTest::mouseClick(find("CommandSalva"), Qt::LeftButton);
    ASSERT_EQ(recorder.handed.size(), 1U);
    EXPECT_EQ(recorder.handed[0], std::pair(fileBytes(), 2));
    recorder.answers[0](base::Status{});
    EXPECT_THAT(dialogs.shown, IsEmpty());

    QTest::mouseClick(find("CommandSalva"), Qt::LeftButton);
    EXPECT_THAT(dialogs.shown, IsEmpty()) << "the window does not wait for the keeper";
    recorder.answers[1](base::fail(base::FailureKind::Unavailable, "database or disk is full"));
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].title, "Errore");
    EXPECT_EQ(dialogs.shown[0].icon, ui::Dialogs::Icon::Warning);
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("The cam table was saved to \"%1\" but not kept in the records: "
                             "database or disk is full.")
                  .arg(QDir::toNativeSeparators(filePath())));
    EXPECT_EQ(recorder.handed[1].first, fileBytes()) << "the file is written all the same";
}

} // namespace
