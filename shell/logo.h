#pragma once

class QImage;

namespace shell {

// The maker's picture for the window's top-left corner: a zoom lens seen from the side,
// 121 x 91 pixels, 24-bit.
QImage drawLogo();

// The program's 32 x 32 icon: the same lens on white.
QImage drawIcon();

} // namespace shell
