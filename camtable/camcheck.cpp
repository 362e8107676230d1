#include "camcheck.h"

#include "base/numbertext.h"
#include "camfile.h"

#include "lens/presets.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace camtable {

namespace {

constexpr double kJumpFactor = 3.0;

std::optional<double> cellValue(const std::string &cell, CamTable &table, int row, int zoom)
{
    if (cell.empty())
        return std::nullopt;
    const auto value = base::numberFromText(cell);
    if (!value)
        table.unreadable.push_back({table.file, row, QString::fromLocal8Bit(cell.c_str()),
                                    QStringLiteral("the Zoom %1 position of %2 mm is not a number")
                                        .arg(zoom)
                                        .arg(lens::focalLengthOfRow(row))});
    return value;
}

double median(std::vector<double> values)
{
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    const double upper = *middle;
    return (upper + *std::max_element(values.begin(), middle)) / 2;
}

void jumpsOf(const std::vector<CamPoint> &points, int zoom, std::vector<CamJump> &jumps)
{
    struct Step
    {
        const CamPoint *point;
        double size;
    };
    std::vector<Step> steps;
    const CamPoint *previous = nullptr;
    for (const CamPoint &point : points) {
        const auto value = zoom == 1 ? point.zoom1 : point.zoom2;
        if (!value)
            continue;
        if (previous != nullptr) {
            const double before = *(zoom == 1 ? previous->zoom1 : previous->zoom2);
            steps.push_back({&point, std::abs(*value - before) / (point.row - previous->row)});
        }
        previous = &point;
    }
    if (steps.empty())
        return;
    std::vector<double> sizes;
    sizes.reserve(steps.size());
    for (const Step &step : steps)
        sizes.push_back(step.size);
    const double typical = median(sizes);
    for (const Step &step : steps)
        if (step.size > kJumpFactor * typical)
            jumps.push_back({step.point->row, step.point->focalLength, zoom, step.size, typical});
}

} // namespace

base::Result<CamTable> readCamTable(const QString &path)
{
    const auto cannotRead = [&path](base::FailureKind kind, const QString &why) {
        return base::fail(
            kind,
            QStringLiteral("cannot read the cam table \"%1\": %2").arg(path, why).toStdString());
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(file.exists() ? base::FailureKind::Unavailable
                                        : base::FailureKind::NotFound,
                          file.errorString());
    auto table = camTableFromBytes(file.readAll(), QFileInfo(path).fileName());
    if (!table)
        return cannotRead(table.kind(), QString::fromStdString(table.error()));
    return table;
}

base::Result<CamTable> camTableFromBytes(const QByteArray &bytes, const QString &name)
{
    // The program's own reader of the file: the report sees the cells the list would load.
    const auto rows = camtable::parseCamFile(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!rows)
        return rows.failure();

    CamTable table;
    table.file = name;
    int row = 0;
    for (const camtable::CamRow &cells : *rows) {
        CamPoint point;
        point.row = ++row;
        point.focalLength = lens::focalLengthOfRow(row);
        point.zoom1 = cellValue(cells.zoom1, table, row, 1);
        point.zoom2 = cellValue(cells.zoom2, table, row, 2);
        // The list shows a row as recorded only when both cells hold a position.
        if (!point.zoom1 || !point.zoom2)
            point.zoom1 = point.zoom2 = std::nullopt;
        table.points.push_back(point);
    }
    return table;
}

std::vector<CamJump> camJumps(const std::vector<CamPoint> &points)
{
    std::vector<CamJump> jumps;
    jumpsOf(points, 1, jumps);
    jumpsOf(points, 2, jumps);
    std::sort(jumps.begin(), jumps.end(),
              [](const CamJump &a, const CamJump &b) { return a.row < b.row; });
    return jumps;
}

bool CamCheck::passes() const
{
    const bool zoom1OneWay = std::none_of(turns.begin(), turns.end(),
                                          [](const CamStep &turn) { return turn.zoom == 1; });
    return recorded == camtable::kRowCount && zoom1OneWay && jumps.empty();
}

CamCheck checkCam(const CamTable &table)
{
    CamCheck check;
    check.recorded =
        static_cast<int>(std::count_if(table.points.begin(), table.points.end(),
                                       [](const CamPoint &p) { return p.zoom1.has_value(); }));
    for (int zoom = 1; zoom <= 2; ++zoom) {
        const CamPoint *previous = nullptr;
        double direction = 0; // the sign of the last step that moved
        auto &largest = check.largest.at(static_cast<std::size_t>(zoom - 1));
        for (const CamPoint &point : table.points) {
            const auto value = zoom == 1 ? point.zoom1 : point.zoom2;
            if (!value)
                continue;
            if (previous != nullptr) {
                const CamStep step{zoom, previous->row, point.row,
                                   *(zoom == 1 ? previous->zoom1 : previous->zoom2), *value};
                if (!largest || std::abs(step.size()) > std::abs(largest->size()))
                    largest = step;
                if (step.size() != 0) {
                    const double sign = step.size() > 0 ? 1 : -1;
                    if (direction != 0 && sign != direction)
                        check.turns.push_back(step);
                    direction = sign;
                }
            }
            previous = &point;
        }
    }
    std::sort(check.turns.begin(), check.turns.end(), [](const CamStep &a, const CamStep &b) {
        return std::pair(a.zoom, a.to) < std::pair(b.zoom, b.to);
    });
    check.jumps = camJumps(table.points);
    return check;
}

std::vector<CamDifference> camDifferences(const CamTable &first, const CamTable &second)
{
    std::vector<CamDifference> differences;
    const std::size_t rows = std::min(first.points.size(), second.points.size());
    for (std::size_t i = 0; i < rows; ++i) {
        const CamPoint &a = first.points.at(i);
        const CamPoint &b = second.points.at(i);
        if (a.zoom1 == b.zoom1 && a.zoom2 == b.zoom2)
            continue;
        CamDifference difference{a.row, a.focalLength, a, b, {}};
        if (a.zoom1 && b.zoom1)
            difference.change[0] = *b.zoom1 - *a.zoom1;
        if (a.zoom2 && b.zoom2)
            difference.change[1] = *b.zoom2 - *a.zoom2;
        differences.push_back(difference);
    }
    return differences;
}

} // namespace camtable
