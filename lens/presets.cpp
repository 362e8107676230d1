#include "presets.h"

#include <cstdlib>

namespace lens {

std::string zoomLine(int index)
{
    return "zoom=" + std::to_string(focalLengthAt(index));
}

std::string sliderZoomLine(int tenths)
{
    // Whole tenths are exact in integers; a float's shortest text would say the same.
    const auto parts = std::div(tenths, 10);
    std::string line = "zoom=";
    if (tenths < 0 && parts.quot == 0)
        line += '-';
    line += std::to_string(parts.quot);
    if (parts.rem != 0)
        line += '.' + std::to_string(std::abs(parts.rem));
    return line;
}

std::string irisLine(int index)
{
    return "iris=" + std::to_string(index + 1);
}

} // namespace lens
