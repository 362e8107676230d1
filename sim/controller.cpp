#include "controller.h"

#include "commandtext.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
using platform::Millis;

constexpr platform::Millis kStep{1};
constexpr double kStepSeconds = 0.001;
constexpr std::array<double, 4> kStartPositions{0, 0, 0,
                                                static_cast<double>(ResidentProgram::kFocusMin)};
constexpr std::string_view kDone = ":";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kJunkMin = 3;
constexpr std::size_t kJunkMax = 12;
constexpr int kAddressMax = 255;

std::optional<std::size_t> axisIndex(char letter)
{
    switch (letter) {
    case 'X':
    case 'A':
        return 0;
    case 'Y':
    case 'B':
        return 1;
    case 'Z':
    case 'C':
        return 2;
    case 'W':
    case 'D':
        return 3;
    default:
        return std::nullopt;
    }
}

// The axes a command names; no letters means all of them.
std::optional<std::vector<std::size_t>> parseAxes(std::string_view letters)
{
    std::vector<std::size_t> axes;
    if (letters.empty())
        return std::vector<std::size_t>{0, 1, 2, 3};
    for (const char letter : letters) {
        const auto axis = axisIndex(letter);
        if (!axis)
            return std::nullopt;
        axes.push_back(*axis);
    }
    return axes;
}

bool isAxisParameter(std::string_view mnemonic)
{
    return mnemonic == "SP" || mnemonic == "AC" || mnemonic == "JG" || mnemonic == "PA";
}
} // namespace

Controller::Controller(Faults faults, MotionProfile profile, unsigned seed)
    : m_faults(faults), m_profile(profile), m_errors(seed, faults.largeErrorEvery),
      m_axes{Axis(m_profile.axes[0], m_profile.timeScale, m_errors, kStartPositions[0]),
             Axis(m_profile.axes[1], m_profile.timeScale, m_errors, kStartPositions[1]),
             Axis(m_profile.axes[2], m_profile.timeScale, m_errors, kStartPositions[2]),
             Axis(m_profile.axes[3], m_profile.timeScale, m_errors, kStartPositions[3])},
      m_program(m_axes, m_profile, m_faults), m_junk(seed + 1U)
{}

void Controller::advanceTo(platform::Millis now)
{
    while (m_time < now) {
        const bool anyMoving =
            std::any_of(m_axes.begin(), m_axes.end(), [](const Axis &a) { return a.isMoving(); });
        if (!anyMoving) {
            m_time = now;
            return;
        }
        for (auto &axis : m_axes)
            axis.step(kStepSeconds);
        m_time += kStep;
    }
}

void Controller::receive(std::string_view bytes, platform::Millis now)
{
    advanceTo(now);
    if (linkDropped(now))
        return;
    for (const char c : bytes) {
        if (c == '\r') {
            handleLine(m_partial, now);
            m_partial.clear();
        } else if (c != '\n') {
            m_partial += c;
        }
    }
}

std::size_t Controller::pendingOutput(platform::Millis now)
{
    advanceTo(now);
    if (linkDropped(now))
        return 0;
    std::size_t count = 0;
    for (const auto &answer : m_output) {
        if (answer.readyAt > now)
            break;
        count += answer.text.size();
    }
    return count;
}

std::string Controller::takeOutput(platform::Millis now)
{
    advanceTo(now);
    if (linkDropped(now))
        return {};
    std::string bytes;
    while (!m_output.empty() && m_output.front().readyAt <= now) {
        bytes += m_output.front().text;
        m_output.pop_front();
    }
    return bytes;
}

std::optional<platform::Millis> Controller::dropTime() const
{
    if (!m_faults.dropAfter || !m_firstLineAt)
        return std::nullopt;
    return *m_firstLineAt + *m_faults.dropAfter;
}

bool Controller::linkDropped(platform::Millis now) const
{
    const auto at = dropTime();
    return at && now >= *at;
}

long Controller::position(int axis) const
{
    return m_axes.at(static_cast<std::size_t>(axis)).roundedPosition();
}

double Controller::exactPosition(int axis) const
{
    return m_axes.at(static_cast<std::size_t>(axis)).position();
}

bool Controller::isMoving(int axis) const
{
    return m_axes.at(static_cast<std::size_t>(axis)).isMoving();
}

bool Controller::isEnabled(int axis) const
{
    return m_axes.at(static_cast<std::size_t>(axis)).isEnabled();
}

std::optional<double> Controller::variable(std::string_view name) const
{
    return m_program.value(name);
}

base::Status Controller::setLogFile(const std::string &path)
{
    m_log.close();
    m_log.clear();
    m_log.open(path, std::ios::out | std::ios::trunc);
    if (!m_log.is_open())
        return base::fail(base::FailureKind::Unavailable, "cannot write the log " + path);
    return {};
}

void Controller::handleLine(const std::string &line, platform::Millis now)
{
    if (!m_firstLineAt)
        m_firstLineAt = now;
    m_lines.push_back({now, line});
    if (m_log.is_open()) {
        m_log << pointDecimal(static_cast<double>(now.count()) / 1000.0, 3) << '\t' << line << '\n'
              << std::flush;
    }
    if (m_observer)
        m_observer(m_lines.back());

    // Commands are carried out in order; the first refused one ends the line.
    std::vector<std::string> answers;
    const auto commands = split(line, ';');
    for (const auto command : commands) {
        const auto text = trim(command);
        if (text.empty() && commands.size() > 1)
            continue;
        const auto answer = text.empty() ? std::optional<std::string>(kDone) : execute(text);
        if (!answer) {
            answers.emplace_back("?");
            break;
        }
        answers.push_back(*answer);
    }
    if (m_faults.silent)
        return;
    for (auto &answer : answers)
        m_output.push_back({now + m_faults.replyDelay, m_faults.garbage ? garbage() : answer});
}

std::optional<std::string> Controller::execute(std::string_view command)
{
    const auto equals = command.find('=');
    if (equals != std::string_view::npos)
        return executeAssignment(trim(command.substr(0, equals)), trim(command.substr(equals + 1)));
    if (command.size() < 2)
        return std::nullopt;
    return executeAxisCommand(command.substr(0, 2), trim(command.substr(2)));
}

std::optional<std::string> Controller::executeAssignment(std::string_view left,
                                                         std::string_view right)
{
    if (left.size() == 3 && isAxisParameter(left.substr(0, 2))) {
        const auto axis = axisIndex(left[2]);
        if (!axis || !setAxisParameter(left.substr(0, 2), *axis, right))
            return std::nullopt;
        return std::string(kDone);
    }
    if (!m_program.knows(left))
        return std::nullopt;
    if (right == "?")
        return fixedPoint(*m_program.value(left)) + std::string(kLineEnd);
    const auto value = evaluate(right);
    if (!value)
        return std::nullopt;
    m_program.assign(left, *value);
    return std::string(kDone);
}

bool Controller::setAxisParameter(std::string_view mnemonic, std::size_t axis,
                                  std::string_view value)
{
    auto number = parseNumber(value);
    // A target may be one of the resident program's variables.
    if (!number && mnemonic == "PA" && m_program.knows(trim(value)))
        number = m_program.value(trim(value));
    if (!number)
        return false;
    Axis &a = m_axes[axis];
    if (mnemonic == "SP") {
        if (*number <= 0)
            return false;
        a.setSpeed(*number);
    } else if (mnemonic == "AC") {
        if (*number <= 0)
            return false;
        a.setAcceleration(*number);
    } else if (mnemonic == "JG") {
        a.setJogSpeed(*number);
    } else {
        a.setTarget(std::round(*number)); // positions are whole counts
    }
    return true;
}

std::optional<double> Controller::evaluate(std::string_view expression)
{
    expression = trim(expression);
    if (const auto number = parseNumber(expression))
        return number;
    if (expression == "@OUT[01]" || expression == "@OUT[1]")
        return m_program.lensInitialised() ? 1.0 : 0.0;
    if (expression.size() == 4 &&
        (expression.substr(0, 3) == "_TE" || expression.substr(0, 3) == "_TP")) {
        const auto axis = axisIndex(expression[3]);
        if (!axis)
            return std::nullopt;
        if (expression[2] == 'E')
            return static_cast<double>(m_axes[*axis].positionError());
        return static_cast<double>(m_axes[*axis].roundedPosition());
    }
    return m_program.value(expression);
}

std::optional<std::string> Controller::executeAxisCommand(std::string_view mnemonic,
                                                          std::string_view rest)
{
    if (isAxisParameter(mnemonic))
        return executeAxisParameters(mnemonic, rest);
    if (mnemonic == "IA")
        return executeAddress(rest);
    if (mnemonic == "BN") {
        if (!rest.empty())
            return std::nullopt;
        m_burned = m_address;
        return std::string(kDone);
    }
    const auto axes = parseAxes(rest);
    if (!axes)
        return std::nullopt;
    return executeOnAxes(mnemonic, *axes);
}

std::optional<std::string> Controller::executeAxisParameters(std::string_view mnemonic,
                                                             std::string_view rest)
{
    // Positional form: values for X, Y, Z, W in order; an empty field leaves that axis alone.
    const auto fields = split(rest, ',');
    if (rest.empty() || fields.size() > m_axes.size())
        return std::nullopt;
    // Check every field before changing anything.
    for (const auto field : fields) {
        const auto value = trim(field);
        if (!value.empty() && !parseNumber(value) && !(mnemonic == "PA" && m_program.knows(value)))
            return std::nullopt;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!trim(fields[i]).empty() && !setAxisParameter(mnemonic, i, fields[i]))
            return std::nullopt;
    }
    return std::string(kDone);
}

std::optional<std::string> Controller::executeOnAxes(std::string_view mnemonic,
                                                     const std::vector<std::size_t> &axes)
{
    if (mnemonic == "TP") {
        std::string answer;
        for (const auto axis : axes) {
            if (!answer.empty())
                answer += ", ";
            answer += std::to_string(m_axes[axis].roundedPosition());
        }
        return answer + std::string(kLineEnd);
    }
    if (mnemonic == "BG") {
        // All named axes must be able to start, or none starts.
        for (const auto axis : axes) {
            if (!m_axes[axis].isEnabled() || m_axes[axis].isMoving())
                return std::nullopt;
        }
        for (const auto axis : axes) {
            if (!m_axes[axis].begin())
                return std::nullopt;
        }
        return std::string(kDone);
    }
    for (const auto axis : axes) {
        if (mnemonic == "SH")
            m_axes[axis].enable();
        else if (mnemonic == "MO")
            m_axes[axis].disable();
        else if (mnemonic == "ST")
            m_axes[axis].stop();
        else if (mnemonic == "AB")
            m_axes[axis].abort();
        else
            return std::nullopt;
    }
    return std::string(kDone);
}

std::optional<std::string> Controller::executeAddress(std::string_view rest)
{
    if (rest == "?") {
        std::string answer;
        for (const int part : m_address) {
            if (!answer.empty())
                answer += ", ";
            answer += std::to_string(part);
        }
        return answer + std::string(kLineEnd);
    }
    const auto fields = split(rest, ',');
    if (fields.size() != m_address.size())
        return std::nullopt;
    std::array<int, 4> address{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto value = parseNumber(fields[i]);
        if (!value || *value != std::round(*value) || *value < 0 || *value > kAddressMax)
            return std::nullopt;
        address[i] = static_cast<int>(*value);
    }
    m_address = address;
    return std::string(kDone);
}

std::string Controller::garbage()
{
    // Printable junk that never starts like an acknowledgement.
    std::uniform_int_distribution<std::size_t> length(kJunkMin, kJunkMax);
    std::uniform_int_distribution<int> character('!', '~');
    std::string junk;
    const std::size_t n = length(m_junk);
    while (junk.size() < n) {
        const char c = static_cast<char>(character(m_junk));
        if (junk.empty() && c == ':')
            continue;
        junk += c;
    }
    return junk + std::string(kLineEnd);
}

} // namespace sim
