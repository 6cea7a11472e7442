// The simulated machine: the framework's handle is the drawing window, and its GDI keeps
// every window's one device context and records each finished paint (EndPaint).
#include "platform/ui/headless/drawing_surface.h"

namespace drovan::ui::headless {

void AttachDrawingSurface(Window&) {}
void DetachDrawingSurface(Window&) {}

HDC ColourQueryDc(Window& dialog) { return ::GetDC(dialog.hwnd); }
// Not released: a release counts as a finished paint on this GDI, and a colour query is not one.
void ReleaseColourQueryDc(Window&, HDC) {}

}  // namespace drovan::ui::headless
