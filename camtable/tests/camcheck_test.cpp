// The cam table as the report checks it: gaps, cells that are no numbers, shapes, large steps.
#include "camtable/camcheck.h"

#include "testsupport/camtext.h"
#include "testsupport/infolder.h"
#include "testsupport/qtprint.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace camtable::test {
namespace {

using testing::ElementsAre;
using testing::Field;

using testsupport::camText;

QString camFile(const QTemporaryDir &dir, const std::function<QString(int)> &cells, int rows = 86)
{
    const QString path = dir.filePath(QStringLiteral("Camma.txt"));
    EXPECT_TRUE(testsupport::writeFile(path, camText(cells, rows)));
    return path;
}

QString smooth(int n)
{
    return QStringLiteral("%1;%2").arg(100 * n).arg(-50 * n);
}

TEST(CamCheck, UnrecordedRowsAreGapsBadCellsAreListedAndJumpsStandOut)
{
    const QTemporaryDir dir;
    const auto table = readCamTable(camFile(dir, [](int n) {
        if (n >= 10 && n <= 12)
            return QStringLiteral(";"); // unrecorded: a gap, not a jump
        if (n == 30)
            return QStringLiteral("9999;-1500"); // Zoom 1 mis-recorded
        if (n == 50)
            return QStringLiteral("5000;"); // one cell only: not recorded
        if (n == 4)
            return QStringLiteral("12;abc"); // edited by hand
        return smooth(n);
    }));
    ASSERT_TRUE(table) << table.error();
    const CamTable &cam = *table;
    ASSERT_EQ(cam.points.size(), 86u);
    EXPECT_FALSE(cam.points.at(10).zoom1.has_value());
    EXPECT_FALSE(cam.points.at(49).zoom1.has_value());
    EXPECT_FALSE(cam.points.at(3).zoom1.has_value());
    EXPECT_EQ(cam.points.at(85).zoom2, -4300);
    EXPECT_EQ(cam.points.at(85).focalLength, 500);
    ASSERT_EQ(cam.unreadable.size(), 1u);
    EXPECT_EQ(cam.unreadable.at(0).line, 4);
    EXPECT_EQ(cam.unreadable.at(0).why,
              QStringLiteral("the Zoom 2 position of 90 mm is not a number"));

    // Row 30 jumps up, row 31 comes back down; across the gap the step per row is the usual.
    const std::vector<CamJump> jumps = camJumps(cam.points);
    EXPECT_THAT(jumps, ElementsAre(Field(&CamJump::row, 30), Field(&CamJump::row, 31)));
    EXPECT_EQ(jumps.at(0).zoom, 1);
    EXPECT_EQ(jumps.at(0).medianStep, 100);
}

TEST(CamCheck, AFileOfTheWrongShapeSaysWhy)
{
    const QTemporaryDir dir;
    const auto shortFile = readCamTable(camFile(dir, smooth, 85));
    ASSERT_FALSE(shortFile);
    EXPECT_THAT(shortFile.error(), testing::HasSubstr("after line 85"));

    const auto noSemicolons =
        readCamTable(camFile(dir, [](int n) { return n == 7 ? QStringLiteral("12") : smooth(n); }));
    ASSERT_FALSE(noSemicolons);
    EXPECT_THAT(noSemicolons.error(), testing::HasSubstr("line 7"));
}

TEST(CamCheck, AWholeOneWayTablePassesTurnsOfZoom1AndGapsDoNot)
{
    // Zoom 2 rises and falls, as a compensator may.
    const auto compensator = [](int n) {
        return QStringLiteral("%1;%2").arg(100 * n).arg(-(n - 40) * (n - 40));
    };
    const auto whole = camTableFromBytes(camText(compensator), "kept");
    ASSERT_TRUE(whole) << whole.error();
    const CamCheck good = checkCam(*whole);
    EXPECT_EQ(good.recorded, 86);
    ASSERT_EQ(good.turns.size(), 1U);
    EXPECT_EQ(good.turns[0].zoom, 2);
    EXPECT_TRUE(good.passes());
    ASSERT_TRUE(good.largest[0]);
    EXPECT_EQ(good.largest[0]->size(), 100);
    ASSERT_TRUE(good.largest[1]);
    EXPECT_EQ(good.largest[1]->to, 86);

    // Zoom 1 falls back at 150 mm (row 16) and rises again after it; two rows not recorded.
    const auto faulty = camTableFromBytes(camText([&](int n) {
                                              if (n == 16)
                                                  return QStringLiteral("1450;-576");
                                              if (n == 3 || n == 4)
                                                  return QStringLiteral(";");
                                              return compensator(n);
                                          }),
                                          "kept");
    const CamCheck bad = checkCam(*faulty);
    EXPECT_EQ(bad.recorded, 84);
    EXPECT_THAT(bad.turns, ElementsAre(Field(&CamStep::to, 16), Field(&CamStep::to, 17),
                                       Field(&CamStep::zoom, 2)));
    EXPECT_EQ(bad.turns[0].before, 1500);
    EXPECT_EQ(bad.turns[0].after, 1450);
    EXPECT_FALSE(bad.passes());
    // The gap's step counts whole between neighbouring recorded rows.
    EXPECT_EQ(bad.largest[0]->from, 2);
    EXPECT_EQ(bad.largest[0]->to, 5);
}

TEST(CamCheck, DifferencesAreTheRowsThatChangedWithTheirStepsPerAxis)
{
    const auto first = camTableFromBytes(camText(smooth), "a");
    const auto second = camTableFromBytes(camText([](int n) {
                                              if (n == 10)
                                                  return QStringLiteral("1012;-500");
                                              if (n == 20)
                                                  return QStringLiteral(";");
                                              return smooth(n);
                                          }),
                                          "b");
    EXPECT_TRUE(camDifferences(*first, *first).empty());
    const auto differences = camDifferences(*first, *second);
    ASSERT_EQ(differences.size(), 2U);
    EXPECT_EQ(differences[0].focalLength, 120);
    EXPECT_EQ(differences[0].change[0], 12);
    EXPECT_EQ(differences[0].change[1], 0);
    EXPECT_EQ(differences[1].row, 20);
    EXPECT_FALSE(differences[1].change[0]) << "no step to a row that is not recorded";
}

} // namespace
} // namespace camtable::test
