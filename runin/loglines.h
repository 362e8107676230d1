#pragma once

#include "timestamp.h"
#include "verdict.h"

#include <QString>

#include <algorithm>
#include <array>
#include <string_view>

// The texts of the running-in test's log lines: which axis, which test, and the two kinds of line.
namespace runin {

inline constexpr std::string_view kZoom1Axis = "Zoom 1 Axis ";
inline constexpr std::string_view kZoom2Axis = "Zoom 2 Axis ";
inline constexpr std::string_view kIrisAxis = "Iris Axis ";
inline constexpr std::string_view kFocusAxis = "Focus Axis ";
// The four in the order a run's figures count them.
inline constexpr std::array kLoggedAxes{kZoom1Axis, kZoom2Axis, kIrisAxis, kFocusAxis};

// Where an axis stands in that order.
constexpr std::size_t loggedAxisIndex(std::string_view axisName)
{
    return static_cast<std::size_t>(std::find(kLoggedAxes.begin(), kLoggedAxes.end(), axisName) -
                                    kLoggedAxes.begin());
}

inline constexpr std::string_view kStepAscending = "Step test ascending";
inline constexpr std::string_view kStepDescending = "Step test descending";
inline constexpr std::string_view kStrokeAscending = "Full stroke test ascending";
inline constexpr std::string_view kStrokeDescending = "Full stroke test descending";

// "<date>  <time>  <axis><test>  Position reached: <position>"
QString reachedLine(const Stamp &stamp, std::string_view axisName, std::string_view testName,
                    std::string_view position);

// "<date>  <time>  POSITION ERROR (<error>)  <axis><test>"
QString errorLine(const Stamp &stamp, std::string_view error, std::string_view axisName,
                  std::string_view testName);

// The program's own remarks in the error list, dated like the error lines:
// "<date>  <time>  <text>"
QString noteLine(const Stamp &stamp, const QString &text);

} // namespace runin
