#include "commands.h"

#include <array>
#include <utility>

namespace report {

namespace {
using Function = int (*)(const CommandLine &, std::FILE *, std::FILE *);

constexpr std::array<std::pair<Command, Function>, 13> kCommands{{
    {Command::Report, &reportCommand},
    {Command::Runs, &runsCommand},
    {Command::RunReport, &runReportCommand},
    {Command::RunSerial, &runSerialCommand},
    {Command::History, &historyCommand},
    {Command::Sync, &syncCommand},
    {Command::Lens, &lensCommand},
    {Command::Cams, &camsCommand},
    {Command::CamWrite, &camWriteCommand},
    {Command::CamSerial, &camSerialCommand},
    {Command::CamCheck, &camCheckCommand},
    {Command::CamDiff, &camDiffCommand},
    {Command::Quality, &qualityCommand},
}};
} // namespace

int carryOut(const CommandLine &line, std::FILE *out, std::FILE *err)
{
    for (const auto &[command, function] : kCommands)
        if (command == line.command)
            return function(line, out, err);
    return fail(err, QStringLiteral("this command is not carried out yet"));
}

int runCommandLine(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    const auto line = readCommandLine(arguments, out, err);
    if (const int *status = std::get_if<int>(&line))
        return *status;
    return carryOut(std::get<CommandLine>(line), out, err);
}

} // namespace report
