#include "presets.h"

namespace lens {

std::string zoomLine(int index)
{
    return "zoom=" + std::to_string(focalLengthAt(index));
}

std::string irisLine(int index)
{
    return "iris=" + std::to_string(index + 1);
}

} // namespace lens
