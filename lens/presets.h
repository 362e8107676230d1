#pragma once

#include <array>
#include <string>
#include <string_view>

// The operator's presets: focal lengths in 5 mm steps, the slider in tenths of a millimetre, and
// six iris stops.
namespace lens {

inline constexpr int kFocalLengthCount = 86; // 75 mm to 500 mm

// The slider's range in tenths of a millimetre.
inline constexpr int kSliderMin = 750;
inline constexpr int kSliderMax = 5000;

// The iris stops as the list shows them; the controller numbers them 1 to 6.
inline constexpr std::array<std::string_view, 6> kIrisStops = {"6", "8", "11", "16", "22", "32"};

// Focal length in millimetres of list index i (0 to 85), also cam table row i + 1.
constexpr int focalLengthAt(int index)
{
    return 75 + 5 * index;
}

// Focal length in millimetres of cam table row `row` (1 to 86).
constexpr int focalLengthOfRow(int row)
{
    return focalLengthAt(row - 1);
}

// The line that takes the zoom to the focal length at list index `index`.
std::string zoomLine(int index);

// The line that takes the zoom to a focal length given in tenths of a millimetre, written in
// millimetres with at most one decimal and no trailing ".0": 750 -> "zoom=75", 751 -> "zoom=75.1".
std::string sliderZoomLine(int tenths);

// The line that sets the iris to the stop at list index `index`.
std::string irisLine(int index);

} // namespace lens
