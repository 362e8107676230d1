// The cam table file: its 86 lines, what a load takes, and a save that never loses the old file.
#include "camtable/camfile.h"
#include "testsupport/camtext.h"
#include "testsupport/infolder.h"
#include "testsupport/qtprint.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace {

using camtable::CamRow;
using camtable::CamRows;
using testing::HasSubstr;

using testsupport::camText;

template <class T> T valueOf(base::Result<T> result)
{
    if (!result)
        ADD_FAILURE() << result.error();
    return result ? *result : T{};
}
CamRows parsed(std::string_view text)
{
    return valueOf(camtable::parseCamFile(text));
}
std::string formatted(const CamRows &rows)
{
    return valueOf(camtable::formatCamFile(rows));
}

TEST(CamFileFormat, CellsAreWrittenAsTheirNumbersInPlainDecimal_AndACellThatIsNoneNamesItsRow)
{
    CamRows rows;
    rows[1] = {"007", " -12 "};
    rows[2] = {"+5", "-0"};
    rows[4] = {"12.0", "1e3"};
    rows[3] = {"", "200"}; // half a row, as a hand-edited file can leave it
    rows[5] = {"12.5", "3000000000"};
    rows[6] = {"-.250", "1E-7"};
    rows[7] = {"1e23", "0.1"};
    rows[85] = {"2147483647", "-2147483648"};
    const std::string text = formatted(rows);
    EXPECT_THAT(text, HasSubstr("\r\n80;7;-12\r\n85;5;0\r\n90;;200\r\n95;12;1000\r\n"
                                "100;12.5;3000000000\r\n105;-0.25;0.0000001\r\n"
                                "110;100000000000000000000000;0.1\r\n"));
    EXPECT_THAT(text, testing::EndsWith("\r\n500;2147483647;-2147483648\r\n"));
    EXPECT_EQ(formatted(parsed(text)), text) << "what a save writes saves the same again";

    for (const std::string bad : {"abc", "inf", "nan", " ", "--4", "+-4", "4 5", "0x10", "1e999"}) {
        rows[11] = {"100", bad};
        const auto result = camtable::formatCamFile(rows);
        ASSERT_FALSE(result.ok()) << bad;
        EXPECT_THAT(result.error(), HasSubstr("row 12 (130 mm), Pos Zoom 2 holds \"" + bad +
                                              "\", which is not a number"));
    }
}

TEST(CamFileParse, ReadsEightySixLinesWithAnyLineEnds_AndRefusesABrokenOneByNumber)
{
    // Lines ending in CR LF, in CR alone and in LF alone.
    std::string text = camText({{1, "75;1;2"}, {86, "500;3;4"}})
                           .replace("5;;\r\n", "5;;\r")
                           .replace("0;;\r\n", "0;;\n")
                           .toStdString();
    EXPECT_EQ(parsed(text + "no semicolons here\n")[85], (CamRow{"3", "4"}));
    text.resize(text.size() - 2); // the last line without its line end
    const CamRows rows = parsed(text);
    EXPECT_EQ(rows[0], (CamRow{"1", "2"}));
    EXPECT_EQ(rows[85], (CamRow{"3", "4"}));

    for (const auto &[file, says] : std::vector<std::pair<std::string, std::string>>{
             {"", "empty"},
             {camText({{12, ""}}).toStdString(), "line 12 has fewer than two \";\""},
         }) {
        const auto result = camtable::parseCamFile(file);
        ASSERT_FALSE(result.ok()) << says;
        EXPECT_THAT(result.error(), HasSubstr(says));
    }
}

class CamFile : public testing::Test
{
protected:
    [[nodiscard]] QString path() const { return m_dir.filePath("Camma.txt"); }

    static CamRows someRows()
    {
        CamRows rows;
        rows[9] = {"812", "-441"};
        rows[85] = {"1", "2"};
        return rows;
    }

    QTemporaryDir m_dir;
};

// The end-to-end test saves and loads back; here a longer old file replaced whole, no leftovers.
TEST_F(CamFile, SavesOverALongerOldFileAndLoadsItBack)
{
    ASSERT_TRUE(testsupport::writeFile(
        path(), "an older, longer file that the save replaces whole\r\n" + QByteArray(9000, 'x')));
    ASSERT_TRUE(camtable::saveCamFile(path(), someRows()).ok());
    EXPECT_EQ(testsupport::fileBytes(path()).toStdString(), formatted(someRows()));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"Camma.txt"});
    EXPECT_EQ(valueOf(camtable::loadCamFile(path())), someRows());
}

// A small tmpfs in a mount namespace of the test's own, gone with the process; needs root.
class CamFileOnSmallDisk : public CamFile
{
protected:
    void SetUp() override
    {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            GTEST_SKIP() << "cannot make a private mount namespace (" << std::strerror(errno)
                         << "); a full or read-only disk needs the right to mount";
        m_disk = m_dir.filePath("disk");
        ASSERT_TRUE(QDir().mkdir(m_disk));
        ASSERT_EQ(::mount("tmpfs", QFile::encodeName(m_disk).constData(), "tmpfs", 0, "size=64k"),
                  0)
            << std::strerror(errno);
        m_mounted = true;
        ASSERT_TRUE(testsupport::writeFile(target(), m_old));
    }

    void TearDown() override
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_disk).constData(), MNT_DETACH);
    }

    [[nodiscard]] QString target() const { return m_disk + "/Camma.txt"; }

    void expectRefusedAndOldFileWhole(const std::string &reason)
    {
        const auto saved = camtable::saveCamFile(target(), someRows());
        ASSERT_FALSE(saved.ok()) << "the save reported success";
        EXPECT_THAT(saved.error(), HasSubstr(target().toStdString()));
        EXPECT_THAT(saved.error(), HasSubstr(reason));
        EXPECT_EQ(testsupport::fileBytes(target()), m_old);
    }

    QString m_disk;
    bool m_mounted = false;
    const QByteArray m_old = camText({{1, "75;-3;4"}});
};

TEST_F(CamFileOnSmallDisk, ASaveOnAFullOrReadOnlyDisk_LeavesTheOldFileByteForByte)
{
    QFile filler(m_disk + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) == 4096) {
    }
    ASSERT_THAT(filler.errorString().toStdString(), HasSubstr("No space left on device"));
    filler.close();
    expectRefusedAndOldFileWhole("No space left on device");
    QFile::remove(m_disk + "/filler");
    EXPECT_EQ(QDir(m_disk).entryList(QDir::Files), QStringList{"Camma.txt"})
        << "the failed temporary file is gone";

    ASSERT_EQ(::mount(nullptr, QFile::encodeName(m_disk).constData(), nullptr,
                      MS_REMOUNT | MS_RDONLY, nullptr),
              0)
        << std::strerror(errno);
    expectRefusedAndOldFileWhole("is not writable");
}

} // namespace
