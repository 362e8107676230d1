#include "camcheck.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

constexpr int kRows = 86;
constexpr double kJumpFactor = 3.0;

int focalLengthOf(int row)
{
    return 75 + 5 * (row - 1);
}

std::optional<double> cellValue(const QString &cell, CamTable &table, int row, int zoom)
{
    if (cell.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(cell, &ok);
    if (!ok)
        table.unreadable.push_back(
            {table.file, row, cell,
             QStringLiteral("the Zoom %1 position of %2 mm is not a number")
                 .arg(zoom)
                 .arg(focalLengthOf(row))});
    return ok ? std::optional(value) : std::nullopt;
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

std::variant<CamTable, QString> readCamTable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the cam table \"%1\": %2").arg(path, file.errorString());
    const QList<QByteArray> lines = file.readAll().split('\n');
    CamTable table;
    table.file = QFileInfo(path).fileName();
    for (int row = 1; row <= kRows; ++row) {
        if (row > lines.size() || (row == lines.size() && lines.last().isEmpty()))
            return QStringLiteral("the cam table \"%1\" has %2 lines instead of %3")
                .arg(path)
                .arg(row - 1)
                .arg(kRows);
        QString line = QString::fromLocal8Bit(lines.at(row - 1));
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype first = line.indexOf(QLatin1Char(';'));
        const qsizetype second = first < 0 ? -1 : line.indexOf(QLatin1Char(';'), first + 1);
        if (second < 0)
            return QStringLiteral("line %1 of the cam table \"%2\" lacks its two \";\"")
                .arg(row)
                .arg(path);
        CamPoint point;
        point.row = row;
        point.focalLength = focalLengthOf(row);
        point.zoom1 = cellValue(line.mid(first + 1, second - first - 1), table, row, 1);
        point.zoom2 = cellValue(line.mid(second + 1), table, row, 2);
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

} // namespace report
