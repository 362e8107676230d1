#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sim {

class Axis;
struct Faults;
struct MotionProfile;

// The program that lives in the controller and runs the lens: it keeps the named variables the
// host reads and writes, and moves the axes when the host writes zoom, iris, focusup or focusdn.
//
// Its variables:
//   init      copy of digital output 1 when the host asks for it ("init = @OUT[01]")
//   allarme   11 while an alarm stands, else 0
//   errore    10 + the number (0..9) of the standing alarm, else 0
//   erorre    scratch for the host, used to read a position error ("erorre = _TEX")
//   zoom      focal length in mm, 75..500, decimals allowed; writing it moves both zoom axes
//   iris      preset 1..6; writing it moves the iris axis
//   focusup   writing a non-zero value moves focus one step up; reads 0 once taken
//   focusdn   the same, one step down
//   focusmin  lower end of the focus travel, in counts
// The alarm codes carry their information in the second digit because the host looks at the
// third character of the answer, the first being the sign place: " 11.0000", " 13.0000".
class ResidentProgram
{
public:
    ResidentProgram(std::array<Axis, 4> &axes, const MotionProfile &profile, const Faults &faults);

    [[nodiscard]] bool knows(std::string_view name) const;
    [[nodiscard]] std::optional<double> value(std::string_view name) const;
    // Stores the value and carries out what writing the variable means. False when unknown.
    bool assign(std::string_view name, double value);

    // Digital output 1: the lens has been initialised (and no alarm stands).
    [[nodiscard]] bool lensInitialised() const { return m_initialised; }

    // Where the resident program puts Zoom 1 and Zoom 2 for a focal length (mm, 75..500).
    static std::pair<long, long> zoomCam(double focalLengthMm);
    // Iris axis position of preset 1..6.
    static long irisPreset(int preset);

    static constexpr double kZoomMinMm = 75.0;
    static constexpr double kZoomMaxMm = 500.0;
    static constexpr long kFocusMin = 100;
    static constexpr long kFocusMax = 10100;
    static constexpr long kFocusStep = 100;
    static constexpr int kIrisPresets = 6;

private:
    void moveZoom(double focalLengthMm);
    void moveIris(int preset);
    void stepFocus(long counts);

    std::array<Axis, 4> &m_axes;
    const MotionProfile &m_profile;
    bool m_initialised;
    std::map<std::string, double, std::less<>> m_variables;
};

} // namespace sim
