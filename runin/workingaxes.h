#pragma once

#include "loglines.h"
#include "sequencer.h"

#include "link/channel.h"

#include <string_view>

// What the running-in sequencer knows of each working axis, one table per axis: its letter, its
// name in the log lines, its light, its step test and its full-stroke end points.
namespace runin {

// The step test of an axis: values from `first` up to `top` by `stride`, then back down to
// `first`. The downward half goes on from the step number the upward half reached, so each half
// turns at its end point.
struct StepMoves
{
    int first;
    int top;
    int stride;
    // The move line upward and downward; the value follows it when `withValue`, else it is only
    // shown.
    std::string_view up;
    std::string_view down;
    bool withValue;

    // The value of step `k` (counted from 1 through both halves) in its half.
    [[nodiscard]] constexpr int value(bool ascending, int k) const
    {
        const int upwardSteps = (top - first) / stride + 1;
        return ascending ? first + stride * (k - 1) : top - stride * (k - upwardSteps);
    }
};

struct EndPoint
{
    std::string_view line;
    std::string_view label;
};

// Everything the sequencer knows of one working axis.
struct AxisFacts
{
    WorkingAxis axis;
    Light light;
    std::string_view letter;
    std::string_view name; // in the log lines
    StepMoves steps;
    // Full-stroke end points toward the top (UpperEnd) and toward the bottom (LowerEnd).
    EndPoint upper;
    EndPoint lower;
};

inline constexpr AxisFacts kZoomFacts{ZoomAxis,
                                      Light::Axis1,
                                      comm::kAlternativeAxisLetters[0],
                                      kZoom1Axis,
                                      {75, 500, 5, "zoom = ", "zoom = ", true},
                                      {"zoom = 500", "500"},
                                      {"zoom = 75", "75"}};
inline constexpr AxisFacts kIrisFacts{IrisAxis,
                                      Light::Axis2,
                                      comm::kAlternativeAxisLetters[2],
                                      kIrisAxis,
                                      {1, 6, 1, "iris = ", "iris = ", true},
                                      {"iris = 6", "6"},
                                      {"iris = 1", "1"}};
// The focus steps are relative moves of the resident program; its end points are direct
// controller moves of axis D.
inline constexpr AxisFacts kFocusFacts{FocusAxis,
                                       Light::Axis3,
                                       comm::kAlternativeAxisLetters[3],
                                       kFocusAxis,
                                       {0, 100, 1, "focusup = 1", "focusdn = 1", false},
                                       {"PAD = 10100;BGD", "100"},
                                       {"PAD = 100;BGD", "0"}};

static_assert(kZoomFacts.steps.value(false, 87) == 495 && kIrisFacts.steps.value(false, 7) == 5 &&
              kFocusFacts.steps.value(false, 102) == 99);

inline const AxisFacts &factsOf(WorkingAxis axis)
{
    switch (axis) {
    case ZoomAxis:
        return kZoomFacts;
    case IrisAxis:
        return kIrisFacts;
    default:
        return kFocusFacts;
    }
}

inline bool isWorkingAxis(WorkingAxis axis)
{
    return axis == ZoomAxis || axis == IrisAxis || axis == FocusAxis;
}

// The axis after `axis`, past the focus too: the full stroke counts a cycle there.
inline WorkingAxis nextAxis(WorkingAxis axis)
{
    return static_cast<WorkingAxis>(axis + 1);
}

} // namespace runin
