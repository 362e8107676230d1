#pragma once

#include "runlog/runlog.h"

#include "base/result.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The zoom cam table as the report shows it: both zoom positions against the focal length, and
// the rows that stand out from their neighbours.
namespace camtable {

struct CamPoint
{
    int row = 0;                        // 1 to 86
    int focalLength = 0;                // mm
    std::optional<double> zoom1, zoom2; // none where the row is not recorded
};

struct CamTable
{
    QString file;
    std::vector<CamPoint> points;               // all 86 rows
    std::vector<runlog::Unreadable> unreadable; // cells that are not numbers
};

// Reads the cam table file; a file that cannot be read or has not the table's shape gives why.
base::Result<CamTable> readCamTable(const QString &path);
// The same from the file's bytes (a kept table); `name` stands for the file in what it says.
base::Result<CamTable> camTableFromBytes(const QByteArray &bytes, const QString &name);

// A row whose step from the previous recorded row is more than three times the median step of
// that zoom axis: a likely mis-recording. Steps across unrecorded rows count per row.
struct CamJump
{
    int row = 0;
    int focalLength = 0;
    int zoom = 1; // 1 or 2
    double step = 0;
    double medianStep = 0;
};

std::vector<CamJump> camJumps(const std::vector<CamPoint> &points);

// A step between neighbouring recorded rows, from row `from` to row `to`.
struct CamStep
{
    int zoom = 1; // 1 or 2
    int from = 0, to = 0;
    double before = 0, after = 0;
    [[nodiscard]] double size() const { return after - before; }
};

// What a calibration must be: every row recorded, Zoom 1 (the variator) running one way only,
// and no row standing out from its neighbours. Zoom 2, a compensator, may turn.
struct CamCheck
{
    int recorded = 0;           // rows with both positions
    std::vector<CamStep> turns; // steps against the direction of the step before, both axes
    std::array<std::optional<CamStep>, 2> largest; // per zoom axis, by size
    std::vector<CamJump> jumps;

    [[nodiscard]] bool passes() const;
};

CamCheck checkCam(const CamTable &table);

// A row whose positions differ between two tables; `change` per axis where both are recorded.
struct CamDifference
{
    int row = 0;
    int focalLength = 0;
    CamPoint first, second;
    std::array<std::optional<double>, 2> change;
};

std::vector<CamDifference> camDifferences(const CamTable &first, const CamTable &second);

} // namespace camtable
