// The cam table as the report reads it: gaps, cells that are not numbers, files of the wrong
// shape, and the rows that step far more than the others.
#include "report/camcheck.h"

#include "testsupport/qtprint.h"

#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace report::test {
namespace {

using testing::ElementsAre;
using testing::Field;

// 86 lines as the program saves them; `cells` gives "<zoom1>;<zoom2>" for row n (1 to 86).
QString camFile(const QTemporaryDir &dir, const std::function<QString(int)> &cells, int rows = 86)
{
    QByteArray text;
    for (int n = 1; n <= rows; ++n)
        text += QString::number(75 + 5 * (n - 1)).toLatin1() + ';' + cells(n).toLatin1() + "\r\n";
    QString path = dir.filePath(QStringLiteral("Camma.txt"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
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

} // namespace
} // namespace report::test
