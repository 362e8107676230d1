#pragma once

#include "base/result.h"

#include <QString>

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The cam table as plain data, and the file it is kept in.
namespace camtable {

inline constexpr int kRowCount = 86; // one row per focal length, 75 mm to 500 mm

// The two position cells of one row, as the list shows them. Cells hold 8-bit text: what
// recording wrote, or whatever a loaded file held.
struct CamRow
{
    std::string zoom1;
    std::string zoom2;

    // A row is recorded, and carries its check mark, when both cells hold text.
    [[nodiscard]] bool recorded() const { return !zoom1.empty() && !zoom2.empty(); }

    friend bool operator==(const CamRow &, const CamRow &) = default;
};

// Row n of the list (1 to 86) is element n - 1.
using CamRows = std::array<CamRow, kRowCount>;

// The four lines that move both zoom axes to a recorded row at the jog speeds of their panels;
// none when either cell is empty.
std::optional<std::array<std::string, 4>> replayLines(const CamRow &row, std::string_view speed0,
                                                      std::string_view speed1);

// The file's 86 lines, each ended by CR LF. A non-empty cell is written as the number it holds, in
// the shortest plain decimal text that reads back as that number ("007" becomes 7, "1e3" 1000,
// "12.5" stays); a cell that holds no number is a failure naming its row.
base::Result<std::string> formatCamFile(const CamRows &rows);

// The cells of the first 86 lines of `text`. A line gives its row the text between its first and
// second ";" and everything after the second; the focal length before the first is not read.
// Fewer than 86 lines, or a line without two ";", is a failure naming the line.
base::Result<CamRows> parseCamFile(std::string_view text);

// Where the cam table file lives: "c:\Camma.txt" on Windows; elsewhere Camma.txt in
// $VELMARO_DRIVE_C, or in the home directory when that is not set.
QString camFilePath();

// Writes the table to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`, so that whatever goes wrong the previous file stays whole. Gives the bytes written.
base::Result<std::string> saveCamFile(const QString &path, const CamRows &rows);

// Reads and checks all 86 lines before giving any of them.
base::Result<CamRows> loadCamFile(const QString &path);

} // namespace camtable
