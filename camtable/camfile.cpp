#include "camfile.h"

#include "base/numbertext.h"
#include "lens/presets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <charconv>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace camtable {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kLongestQuotedCell = 20;

// A number as plain decimal text: the fewest significant digits that read back as the same
// double, padded with zeros rather than given an exponent (1e3 is 1000, 1e-7 is 0.0000001).
std::string decimalText(double value)
{
    if (value == 0)
        return "0"; // also for -0, which reads back as the same number
    // Scientific form gives the shortest digits that round-trip: "-d.ddde+XX".
    std::array<char, 64> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::scientific);
    const std::string_view text(buffer.data(), std::size_t(written.ptr - buffer.data()));
    const auto e = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, e))
        if (c >= '0' && c <= '9')
            digits += c;
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    exponent);
    // The value is 0.digits times ten to the power `point`.
    const int point = exponent + 1;
    const int count = int(digits.size());
    std::string plain;
    if (point <= 0)
        plain = "0." + std::string(std::size_t(-point), '0') + digits;
    else if (point >= count)
        plain = digits + std::string(std::size_t(point - count), '0');
    else
        plain = digits.substr(0, std::size_t(point)) + '.' + digits.substr(std::size_t(point));
    return (value < 0 ? "-" : "") + plain;
}

// A cell's 8-bit text for a message, shortened when it is long.
std::string quotedCell(std::string_view cell)
{
    const bool tooLong = cell.size() > kLongestQuotedCell;
    const auto shown = cell.substr(0, kLongestQuotedCell);
    return '"' + QString::fromLatin1(shown.data(), qsizetype(shown.size())).toStdString() +
           (tooLong ? "...\"" : "\"");
}

std::string shownPath(const QString &path)
{
    return '"' + QDir::toNativeSeparators(path).toStdString() + '"';
}

const std::string kTableUnchanged = "\n\nNothing was loaded; the table is as it was.";
const std::string kFileUnchanged = "\n\nThe file on the disk is as it was before.";

} // namespace

std::optional<std::array<std::string, 4>> replayLines(const CamRow &row, std::string_view speed0,
                                                      std::string_view speed1)
{
    if (row.zoom1.empty() || row.zoom2.empty())
        return std::nullopt;
    return std::array<std::string, 4>{"SP" + std::string(speed0) + "," + std::string(speed1),
                                      "PAX=" + row.zoom1, "PAY=" + row.zoom2, "BGXY"};
}

base::Result<std::string> formatCamFile(const CamRows &rows)
{
    std::string text;
    for (int n = 1; n <= kRowCount; ++n) {
        const CamRow &row = rows.at(std::size_t(n - 1));
        text += std::to_string(lens::focalLengthOfRow(n));
        for (const auto &[cell, caption] :
             {std::pair{&row.zoom1, "Pos Zoom 1"}, std::pair{&row.zoom2, "Pos Zoom 2"}}) {
            text += ';';
            if (cell->empty())
                continue;
            const auto value = base::numberFromText(*cell);
            if (!value)
                return base::fail(base::FailureKind::InvalidInput,
                                  "in row " + std::to_string(n) + " (" +
                                      std::to_string(lens::focalLengthOfRow(n)) + " mm), " +
                                      caption + " holds " + quotedCell(*cell) +
                                      ", which is not a number");
            text += decimalText(*value);
        }
        text += kLineEnd;
    }
    return text;
}

base::Result<CamRows> parseCamFile(std::string_view text)
{
    CamRows rows;
    std::size_t at = 0;
    for (int n = 1; n <= kRowCount; ++n) {
        if (at >= text.size())
            return base::fail(base::FailureKind::InvalidInput,
                              n == 1 ? std::string("the file is empty")
                                     : "it ends after line " + std::to_string(n - 1) +
                                           ", and a cam table has " + std::to_string(kRowCount) +
                                           " lines");
        // A line ends at CR LF, or at a lone LF or CR, as a text editor on any platform leaves it.
        const auto end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string_view line = text.substr(at, end - at);
        at = end + (text.substr(end, 2) == kLineEnd ? 2 : 1);

        const auto p1 = line.find(';');
        const auto p2 = p1 == std::string_view::npos ? p1 : line.find(';', p1 + 1);
        if (p2 == std::string_view::npos)
            return base::fail(base::FailureKind::InvalidInput,
                              "line " + std::to_string(n) + " has fewer than two \";\"");
        rows.at(std::size_t(n - 1)) = {std::string(line.substr(p1 + 1, p2 - p1 - 1)),
                                       std::string(line.substr(p2 + 1))};
    }
    return rows;
}

QString camFilePath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\Camma.txt");
#else
    QString drive = qEnvironmentVariable("VELMARO_DRIVE_C");
    if (drive.isEmpty())
        drive = QDir::homePath();
    return QDir(drive).filePath(QStringLiteral("Camma.txt"));
#endif
}

base::Result<std::string> saveCamFile(const QString &path, const CamRows &rows)
{
    const auto formatted = formatCamFile(rows);
    if (!formatted)
        return base::fail(formatted.kind(),
                          "The cam table was not saved: " + formatted.error() + "." +
                              "\n\nCorrect the row, or untick it and record it again. The file " +
                              shownPath(path) + " is as it was before.");
    const std::string &text = *formatted;
    const auto failed = [&path](const QString &reason) {
        return base::fail(base::FailureKind::Unavailable,
                          "The cam table could not be saved to " + shownPath(path) + ": " +
                              reason.toStdString() + "." + kFileUnchanged);
    };

    // Not committed, the temporary file is removed and the old file is left alone.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush())
        return failed(file.errorString());
#ifdef Q_OS_UNIX
    // The rename below must not reach the disk before the data: a crash in between would leave an
    // empty file under the old name.
    if (::fsync(file.handle()) != 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!file.commit())
        return failed(file.errorString());
#ifdef Q_OS_UNIX
    // Makes the rename itself durable. The new file is in place whatever this says.
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    if (const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
    return text;
}

base::Result<CamRows> loadCamFile(const QString &path)
{
    QFile file(path);
    const auto unreadable = [&] {
        return base::fail(
            file.exists() ? base::FailureKind::Unavailable : base::FailureKind::NotFound,
            "The cam table file " + shownPath(path) +
                " cannot be read: " + file.errorString().toStdString() + "." + kTableUnchanged);
    };
    if (!file.open(QIODevice::ReadOnly))
        return unreadable();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return unreadable();

    auto parsed = parseCamFile(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!parsed)
        return base::fail(parsed.kind(), "The cam table file " + shownPath(path) +
                                             " cannot be loaded: " + parsed.error() + "." +
                                             kTableUnchanged);
    return parsed;
}

} // namespace camtable
