#include "lenscheck.h"

#include "link/channel.h"

#include <string>
#include <utility>

namespace shell {

namespace {
constexpr platform::Millis kStartupAnswerWait{500};

// The resident program answers these queries with its status digit in the third character.
char thirdCharacter(const std::string &reply)
{
    return reply.size() >= 3 ? reply[2] : '\0';
}
} // namespace

base::Status checkLensInitialised(comm::CommandChannel &channel, platform::Clock &clock)
{
    channel.SendLine("init = @OUT[01];init=?");
    clock.sleep(kStartupAnswerWait);
    if (channel.PendingCount() == 0)
        return base::fail(base::FailureKind::TimedOut, "Unable to establish connection !");
    if (thirdCharacter(channel.ReadAll()) != '0')
        return {};

    channel.SendLine("allarme=?");
    clock.sleep(kStartupAnswerWait);
    if (thirdCharacter(channel.ReadAll()) != '1')
        return base::fail(base::FailureKind::Unavailable, "Lens initialization not completed !");

    channel.SendLine("errore=?");
    clock.sleep(kStartupAnswerWait);
    std::string message = "Initialization not possible! Errore #";
    if (const char error = thirdCharacter(channel.ReadAll()); error != '\0')
        message += error;
    return base::fail(base::FailureKind::Unavailable, std::move(message));
}

} // namespace shell
