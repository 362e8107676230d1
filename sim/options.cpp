#include "options.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <optional>

namespace sim {

namespace {
constexpr long kMaxPort = 255;
constexpr long kMaxAlarm = 9;

std::optional<long> parseInteger(const std::string &text, long min, long max)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max)
        return std::nullopt;
    return value;
}

std::optional<double> parseReal(const std::string &text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct Option
{
    bool takesValue;
    // Applies the value; returns an error message or an empty string.
    std::function<std::string(Options &, const std::string &)> apply;
};

std::string integerOption(const std::string &name, const std::string &value, long min, long max,
                          const std::function<void(long)> &store)
{
    const auto number = parseInteger(value, min, max);
    if (!number)
        return name + " wants a whole number from " + std::to_string(min) + " to " +
               std::to_string(max) + ", not '" + value + "'";
    store(*number);
    return {};
}

const std::map<std::string, Option> &optionTable()
{
    static const std::map<std::string, Option> table{
        {"--port-dir",
         {true,
          [](Options &o, const std::string &v) {
              if (v.empty())
                  return std::string("--port-dir wants a folder");
              o.portDir = v;
              return std::string();
          }}},
        {"--port",
         {true,
          [](Options &o, const std::string &v) {
              return integerOption("--port", v, 1, kMaxPort,
                                   [&o](long n) { o.port = static_cast<int>(n); });
          }}},
        {"--log",
         {true,
          [](Options &o, const std::string &v) {
              if (v.empty())
                  return std::string("--log wants a file name");
              o.logFile = v;
              return std::string();
          }}},
        {"--not-initialised",
         {false,
          [](Options &o, const std::string &) {
              o.faults.notInitialised = true;
              return std::string();
          }}},
        {"--alarm",
         {true,
          [](Options &o, const std::string &v) {
              return integerOption("--alarm", v, 0, kMaxAlarm,
                                   [&o](long n) { o.faults.alarm = static_cast<int>(n); });
          }}},
        {"--silent",
         {false,
          [](Options &o, const std::string &) {
              o.faults.silent = true;
              return std::string();
          }}},
        {"--delay",
         {true,
          [](Options &o, const std::string &v) {
              return integerOption("--delay", v, 0, 3600000,
                                   [&o](long n) { o.faults.replyDelay = comm::Millis(n); });
          }}},
        {"--garbage",
         {false,
          [](Options &o, const std::string &) {
              o.faults.garbage = true;
              return std::string();
          }}},
        {"--large-error-every",
         {true,
          [](Options &o, const std::string &v) {
              return integerOption("--large-error-every", v, 0, 1000000, [&o](long n) {
                  o.faults.largeErrorEvery = static_cast<int>(n);
              });
          }}},
        {"--drop-after",
         {true,
          [](Options &o, const std::string &v) {
              return integerOption("--drop-after", v, 0, 86400000,
                                   [&o](long n) { o.faults.dropAfter = comm::Millis(n); });
          }}},
        {"--time-scale",
         {true,
          [](Options &o, const std::string &v) {
              const auto f = parseReal(v);
              if (!f || *f <= 0)
                  return "--time-scale wants a positive number, not '" + v + "'";
              o.timeScale = *f;
              return std::string();
          }}},
        {"--seed",
         {true,
          [](Options &o, const std::string &v) {
              return integerOption("--seed", v, 0, 4294967295L,
                                   [&o](long n) { o.seed = static_cast<unsigned>(n); });
          }}},
    };
    return table;
}
} // namespace

ParsedOptions parseOptions(const std::vector<std::string> &arguments,
                           const char *portDirFromEnvironment)
{
    ParsedOptions result;
    if (portDirFromEnvironment)
        result.options.portDir = portDirFromEnvironment;
    const auto &table = optionTable();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "-h") {
            result.help = true;
            return result;
        }
        const auto it = table.find(name);
        if (it == table.end()) {
            result.error = "unknown option '" + name + "' (see --help)";
            return result;
        }
        if (it->second.takesValue && !value) {
            if (i + 1 >= arguments.size()) {
                result.error = name + " wants a value";
                return result;
            }
            value = arguments[++i];
        } else if (!it->second.takesValue && value) {
            result.error = name + " takes no value";
            return result;
        }
        result.error = it->second.apply(result.options, value.value_or(std::string()));
        if (!result.error.empty())
            return result;
    }
    if (result.options.portDir.empty())
        result.error = "no port folder: give --port-dir or set VELMARO_PORT_DIR";
    return result;
}

std::string usage()
{
    return "Usage: velmaro-sim [options]\n"
           "Simulates the lens controller on a pseudo-terminal linked as <port-dir>/COM<n>.\n"
           "  --port-dir DIR           folder for the COM<n> link (default $VELMARO_PORT_DIR)\n"
           "  --port N                 port number 1..255 (default 1)\n"
           "  --log FILE               write every line received, with its time, to FILE\n"
           "  --not-initialised        the lens is not initialised (init reads 0)\n"
           "  --alarm N                an alarm with error number N (0..9) stands\n"
           "  --silent                 answer nothing\n"
           "  --delay MS               answer MS milliseconds after each line\n"
           "  --garbage                answer random characters\n"
           "  --large-error-every N    every Nth axis movement ends with a large position error\n"
           "  --drop-after MS          go dead MS after the first line (link removed, keeps "
           "running)\n"
           "  --time-scale F           run every move F times faster (default 1)\n"
           "  --seed N                 seed of the position errors (default 1)\n"
           "  --help                   show this text\n";
}

} // namespace sim
