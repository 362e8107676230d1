#pragma once

namespace base {

// The lens's motors, as the window, the logs and the records number them: 0 Zoom 1, 1 Zoom 2,
// 2 Iris, 3 Focus.
inline constexpr int kAxisCount = 4;

} // namespace base
