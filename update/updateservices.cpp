#include "updateservices.h"

#include "curlftpclient.h"
#include "detachedstarter.h"

#include <system_error>
#include <utility>

namespace update {

UpdateServices realUpdateServices()
{
    // A working directory removed under the program has no absolute name; "." still names it,
    // and the check's own file errors then say what went wrong.
    std::error_code error;
    std::filesystem::path directory = std::filesystem::current_path(error);
    if (error)
        directory = ".";
    return {std::make_unique<CurlFtpClient>(), std::make_unique<DetachedStarter>(),
            configuredUpdateServer(), std::move(directory)};
}

} // namespace update
