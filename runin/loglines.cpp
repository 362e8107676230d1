#include "loglines.h"

namespace runin {

namespace {
QString fromAscii(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString dated(const Stamp &stamp)
{
    return stamp.date + QStringLiteral("  ") + stamp.time;
}
} // namespace

QString reachedLine(const Stamp &stamp, std::string_view axisName, std::string_view testName,
                    std::string_view position)
{
    return dated(stamp) + QStringLiteral("  ") + fromAscii(axisName) + fromAscii(testName) +
           QStringLiteral("  Position reached: ") + fromAscii(position);
}

QString errorLine(const Stamp &stamp, std::string_view error, std::string_view axisName,
                  std::string_view testName)
{
    return dated(stamp) + QStringLiteral("  POSITION ERROR (") + fromAscii(error) +
           QStringLiteral(")  ") + fromAscii(axisName) + fromAscii(testName);
}

QString noteLine(const Stamp &stamp, const QString &text)
{
    return dated(stamp) + QStringLiteral("  ") + text;
}

} // namespace runin
