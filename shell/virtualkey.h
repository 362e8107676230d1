#pragma once

#include <Qt>

namespace shell {

// The Windows virtual-key code of a Qt key: the key as it sits on a US keyboard, so that a shifted
// symbol gives the code of its key. 0 for keys without one.
int virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

// 1 Shift, 2 Ctrl, 4 Alt, added. A modifier key's own press carries its own bit.
int modifierMask(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace shell
