#include "verdict.h"

namespace runin {

QString aboveThresholdText()
{
    return QStringLiteral("above %1").arg(kErrorThreshold);
}

QString passesSql(const QString &errorsAboveThreshold)
{
    return errorsAboveThreshold + QStringLiteral(" = 0");
}

QString failsSql(const QString &errorsAboveThreshold)
{
    return errorsAboveThreshold + QStringLiteral(" > 0");
}

QString verdictText(int errorsAboveThreshold)
{
    if (passes(errorsAboveThreshold))
        return QStringLiteral("no error ") + aboveThresholdText();
    return QStringLiteral("%1 %2 %3")
        .arg(errorsAboveThreshold)
        .arg(errorsAboveThreshold == 1 ? QStringLiteral("error") : QStringLiteral("errors"),
             aboveThresholdText());
}

} // namespace runin
