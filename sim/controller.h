#pragma once

#include "axis.h"
#include "faults.h"
#include "motionprofile.h"
#include "moveerrors.h"
#include "residentprogram.h"

#include "base/result.h"
#include "platform/clock.h"

#include <array>
#include <deque>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// A line as it arrived from the host, without its CR.
struct ReceivedLine
{
    platform::Millis at;
    std::string text;
};

// The motion controller with its resident program, seen from its serial line. Time is handed in
// with every call; the axes are moved forward to that time before anything else happens, so the
// same calls give the same answers however fast they are made.
//
// The host sends lines ended by CR; several commands on a line are separated by ';'. Axes are
// X, Y, Z, W (also A, B, C, D): Zoom 1, Zoom 2, Iris, Focus. Blanks around '=' do not matter.
//   SH<axes> MO<axes> ST<axes> AB<axes> BG<axes>   servo on, motor off, stop, abort, begin;
//                                                  no letters = all axes
//   SP<L>=v AC<L>=v JG<L>=v PA<L>=v                speed, acceleration, jog speed, target;
//                                                  PA also takes a variable ("PAW=focusmin")
//   SP v,v,... AC ... JG ... PA ...                the same for X, Y, ... in order
//   TP<axes>                                       positions
//   name = expr / name=?                           resident variable; expr is a number, @OUT[01],
//                                                  _TE<L>, _TP<L> or a variable
//   IA a,b,c,d / IA ?   BN                         network address; burn the parameters
//
// Answers, as the controller writes them:
//   ":"                      a command carried out (one per command on the line)
//   "?"                      a command refused: unknown, bad or missing number, unknown axis,
//                            BG of a disabled or moving axis; the rest of the line is dropped
//   "1234\r\n", "-250\r\n"   TP: integer counts, several axes separated by ", "
//   " 1.0000\r\n"            a variable: sign place (blank or '-'), integer part, '.', four
//   "-7.0000\r\n"            decimals, CR LF
//   "192, 168, 0, 100\r\n"   IA ?
// So "init = @OUT[01];init=?" is answered ": 1.0000\r\n" by a ready lens, ": 0.0000\r\n" by one
// not initialised.
class Controller
{
public:
    explicit Controller(Faults faults = {}, MotionProfile profile = {}, unsigned seed = 1);
    Controller(const Controller &) = delete;
    Controller &operator=(const Controller &) = delete;

    // Bytes from the host. Complete lines end with CR; a partial line waits for the rest; LF is
    // ignored.
    void receive(std::string_view bytes, platform::Millis now);

    // Answer bytes readable by `now`, and taking them.
    std::size_t pendingOutput(platform::Millis now);
    std::string takeOutput(platform::Millis now);

    // The line went dead (the dropAfter fault).
    [[nodiscard]] bool linkDropped(platform::Millis now) const;
    // When the line goes dead, once the first line has arrived.
    [[nodiscard]] std::optional<platform::Millis> dropTime() const;

    // Moves the axes forward to `now`.
    void advanceTo(platform::Millis now);

    // State as of the last time handed in. Axes 0..3.
    [[nodiscard]] long position(int axis) const;
    [[nodiscard]] double exactPosition(int axis) const;
    [[nodiscard]] bool isMoving(int axis) const;
    [[nodiscard]] bool isEnabled(int axis) const;
    [[nodiscard]] const std::vector<ReceivedLine> &receivedLines() const { return m_lines; }
    [[nodiscard]] std::array<int, 4> address() const { return m_address; }
    // The address stored by the last BN, if any.
    [[nodiscard]] std::optional<std::array<int, 4>> burnedAddress() const { return m_burned; }
    [[nodiscard]] std::optional<double> variable(std::string_view name) const;
    [[nodiscard]] bool lensInitialised() const { return m_program.lensInitialised(); }

    // The wire log: every line received, "<seconds, 3 decimals>\t<line without CR>", flushed
    // line by line so that it can be read while the controller runs, or says that it cannot be.
    base::Status setLogFile(const std::string &path);
    // Told of every line received.
    void setLineObserver(std::function<void(const ReceivedLine &)> observer)
    {
        m_observer = std::move(observer);
    }

private:
    struct Answer
    {
        platform::Millis readyAt;
        std::string text;
    };

    void handleLine(const std::string &line, platform::Millis now);
    std::optional<std::string> execute(std::string_view command);
    std::optional<std::string> executeAssignment(std::string_view left, std::string_view right);
    std::optional<std::string> executeAxisCommand(std::string_view mnemonic, std::string_view rest);
    // "SP 1,,3": the values of an axis parameter for the axes in order.
    std::optional<std::string> executeAxisParameters(std::string_view mnemonic,
                                                     std::string_view rest);
    // "TP", "BG", "SH", "MO", "ST" or "AB" for each of the axes named.
    std::optional<std::string> executeOnAxes(std::string_view mnemonic,
                                             const std::vector<std::size_t> &axes);
    bool setAxisParameter(std::string_view mnemonic, std::size_t axis, std::string_view value);
    std::optional<double> evaluate(std::string_view expression);
    std::optional<std::string> executeAddress(std::string_view rest);
    std::string garbage();

    Faults m_faults;
    MotionProfile m_profile;
    MoveErrors m_errors;
    std::array<Axis, 4> m_axes;
    ResidentProgram m_program;
    std::mt19937 m_junk;
    platform::Millis m_time{0};
    std::string m_partial;
    std::vector<ReceivedLine> m_lines;
    std::deque<Answer> m_output;
    std::optional<platform::Millis> m_firstLineAt;
    std::array<int, 4> m_address{192, 168, 0, 100};
    std::optional<std::array<int, 4>> m_burned;
    std::ofstream m_log;
    std::function<void(const ReceivedLine &)> m_observer;
};

} // namespace sim
