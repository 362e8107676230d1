#pragma once

#include "runlog/runlog.h"

#include "base/result.h"

#include <QString>

#include <optional>
#include <vector>

// The zoom cam table as the report shows it: both zoom positions against the focal length, and
// the rows that stand out from their neighbours.
namespace report {

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

} // namespace report
