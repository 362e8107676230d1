#pragma once

#include <QString>

// The running-in test's verdict, in one place: the threshold, the rule and its wording, as the
// error list, the stored record, the reports and the history all give it.
namespace runin {

// A position error whose absolute value is greater than this, in counts, is reported with an
// error line; the threshold itself is not.
inline constexpr int kErrorThreshold = 10;

// A run (or an axis of it) passes when no position error went beyond the threshold.
constexpr bool passes(int errorsAboveThreshold)
{
    return errorsAboveThreshold == 0;
}

// The same rule as an SQL condition over a column (or expression) that counts the errors above
// the threshold: "errors = 0"; and its opposite.
QString passesSql(const QString &errorsAboveThreshold);
QString failsSql(const QString &errorsAboveThreshold);

// "no error above 10", "1 error above 10", "3 errors above 10"
QString verdictText(int errorsAboveThreshold);

// "above 10": what a heading counts ("Errors above 10").
QString aboveThresholdText();

} // namespace runin
