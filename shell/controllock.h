#pragma once

class QWidget;

namespace shell {

// Takes the operator controls of `form` away (`locked`) or gives them back, one after the other in
// a fixed order: the slider, the cam table buttons, the left column, each axis panel in turn, the
// test's own controls, the cam table list; ABORT, which goes the other way, comes last. No other
// control is touched.
void setControlsLocked(QWidget &form, bool locked);

} // namespace shell
