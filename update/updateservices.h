#pragma once

#include "updatecheck.h"

namespace update {

// The real update check: libcurl, a detached process, the server this build was configured for
// and the current directory.
UpdateServices realUpdateServices();

} // namespace update
