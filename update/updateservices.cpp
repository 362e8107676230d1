#include "updateservices.h"

#include "curlftpclient.h"
#include "detachedstarter.h"

namespace update {

UpdateServices realUpdateServices()
{
    return {std::make_unique<CurlFtpClient>(), std::make_unique<DetachedStarter>(),
            configuredUpdateServer(), std::filesystem::current_path()};
}

} // namespace update
