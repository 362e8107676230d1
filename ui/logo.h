#pragma once

class QImage;

namespace ui {

// The maker's picture for the window's top-left corner: a zoom lens seen from the side,
// 121 x 91 pixels, 24-bit.
QImage drawLogo();

// The program's icon: the same lens on a transparent square of `size` pixels.
QImage drawIcon(int size);

} // namespace ui
