#pragma once

#include <cstdlib>

namespace fuzz {

// A property every input must keep. Its failure ends the run like a crash, and the input is kept.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace fuzz
