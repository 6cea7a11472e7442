// Message boxes that a program's own code asks the system for (MessageBoxW, not the
// framework's AfxMessageBox): on the headless backend they must reach whoever answers the
// boxes (a script, an unattended run's answers) instead of a window nobody will click. On
// the simulated machine MessageBoxW is the framework's already; on Windows the program's
// import of it is pointed at the framework (system_boxes_win32.cpp).
#pragma once

namespace drovan::ui::headless {

// Call before the program's code can show a box. False when nothing could be redirected.
bool RouteSystemMessageBoxes();

}  // namespace drovan::ui::headless
