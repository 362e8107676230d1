#include "residentprogram.h"

#include "axis.h"
#include "faults.h"
#include "motionprofile.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr std::size_t kZoom1 = 0;
constexpr std::size_t kZoom2 = 1;
constexpr std::size_t kIris = 2;
constexpr std::size_t kFocus = 3;

// Cam of the zoom group: Zoom 1 runs 0..42000 counts logarithmically in the focal length, Zoom 2
// 0..-18000 counts, slower at the long end.
constexpr double kZoom1Stroke = 42000.0;
constexpr double kZoom2Stroke = -18000.0;
constexpr double kZoom2Exponent = 0.8;

constexpr std::array<long, 6> kIrisPositions{0, 1100, 2300, 3600, 4800, 6000};

constexpr double kAllarmeStanding = 11.0;
constexpr double kErroreBase = 10.0;
} // namespace

ResidentProgram::ResidentProgram(std::array<Axis, 4> &axes, const MotionProfile &profile,
                                 const Faults &faults)
    : m_axes(axes), m_profile(profile), m_initialised(!faults.notInitialised && !faults.alarm)
{
    m_variables = {
        {"init", m_initialised ? 1.0 : 0.0},
        {"allarme", faults.alarm ? kAllarmeStanding : 0.0},
        {"errore", faults.alarm ? kErroreBase + *faults.alarm : 0.0},
        {"erorre", 0.0},
        {"zoom", kZoomMinMm},
        {"iris", 1.0},
        {"focusup", 0.0},
        {"focusdn", 0.0},
        {"focusmin", static_cast<double>(kFocusMin)},
    };
}

bool ResidentProgram::knows(std::string_view name) const
{
    return m_variables.find(name) != m_variables.end();
}

std::optional<double> ResidentProgram::value(std::string_view name) const
{
    const auto it = m_variables.find(name);
    if (it == m_variables.end())
        return std::nullopt;
    return it->second;
}

bool ResidentProgram::assign(std::string_view name, double value)
{
    const auto it = m_variables.find(name);
    if (it == m_variables.end())
        return false;
    // An uninitialised lens has no reference: the program keeps the request but moves nothing.
    if (name == "zoom") {
        // A focal length outside the range is acknowledged and ignored.
        if (value < kZoomMinMm || value > kZoomMaxMm)
            return true;
        it->second = value;
        if (m_initialised)
            moveZoom(value);
    } else if (name == "iris") {
        const double preset = std::round(value);
        if (preset != value || preset < 1 || preset > kIrisPresets)
            return true;
        it->second = value;
        if (m_initialised)
            moveIris(static_cast<int>(preset));
    } else if (name == "focusup" || name == "focusdn") {
        // The program takes the request and clears the flag again.
        it->second = 0;
        if (value != 0 && m_initialised)
            stepFocus(name == "focusup" ? kFocusStep : -kFocusStep);
    } else {
        it->second = value;
    }
    return true;
}

std::pair<long, long> ResidentProgram::zoomCam(double focalLengthMm)
{
    const double z = std::clamp(focalLengthMm, kZoomMinMm, kZoomMaxMm);
    const double x = kZoom1Stroke * std::log(z / kZoomMinMm) / std::log(kZoomMaxMm / kZoomMinMm);
    const double y =
        kZoom2Stroke * std::pow((z - kZoomMinMm) / (kZoomMaxMm - kZoomMinMm), kZoom2Exponent);
    return {std::lround(x), std::lround(y)};
}

long ResidentProgram::irisPreset(int preset)
{
    const int index = std::clamp(preset, 1, kIrisPresets) - 1;
    return kIrisPositions[static_cast<std::size_t>(index)];
}

void ResidentProgram::moveZoom(double focalLengthMm)
{
    // Both zoom axes move as one: the shorter way runs proportionally slower, so that both
    // arrive together and the image stays sharp on the way.
    const auto [x, y] = zoomCam(focalLengthMm);
    const double dx = std::abs(static_cast<double>(x) - m_axes[kZoom1].target());
    const double dy = std::abs(static_cast<double>(y) - m_axes[kZoom2].target());
    const double longest = std::max(dx, dy);
    const std::array<std::pair<std::size_t, double>, 2> moves{{{kZoom1, dx}, {kZoom2, dy}}};
    const std::array<long, 2> targets{x, y};
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const auto [axis, distance] = moves[i];
        const auto &p = m_profile.axes[axis];
        const double share = longest > 0 ? std::max(distance / longest, 0.01) : 1.0;
        m_axes[axis].moveTo(static_cast<double>(targets[i]), p.residentSpeed * share,
                            p.acceleration * share);
    }
}

void ResidentProgram::moveIris(int preset)
{
    const auto &p = m_profile.axes[kIris];
    m_axes[kIris].moveTo(static_cast<double>(irisPreset(preset)), p.residentSpeed, p.acceleration);
}

void ResidentProgram::stepFocus(long counts)
{
    // Steps count from where focus is going, so that quick presses add up.
    const auto &p = m_profile.axes[kFocus];
    const double target =
        std::clamp(std::round(m_axes[kFocus].target()) + static_cast<double>(counts),
                   static_cast<double>(kFocusMin), static_cast<double>(kFocusMax));
    m_axes[kFocus].moveTo(target, p.residentSpeed, p.acceleration);
}

} // namespace sim
