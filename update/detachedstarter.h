#pragma once

#include "updateplatform.h"

namespace update {

// Starts a program on its own with QProcess, so that it outlives this one. Elsewhere than on
// Windows the file is made executable first: an updater fetched over FTP arrives without the
// permission.
class DetachedStarter final : public ProgramStarter
{
public:
    base::Status start(const std::filesystem::path &program,
                       const std::filesystem::path &workingDirectory) override;
};

} // namespace update
