// What GDI draws on for a headless dialog. Its paint handlers run as on screen (CPaintDC,
// the WM_CTLCOLOR* answers), so their device contexts must be real in the home's GDI, yet
// nothing may appear: on the simulated machine the framework's handle is the drawing window
// and its GDI records the paint; on Windows a dialog gets a message-only window of its size,
// which is never shown, so that a framework handle never reaches the real GDI.
#pragma once

#include "platform/ui/window.h"

namespace drovan::ui::headless {

// Called on the GUI thread when the dialog is created and destroyed.
void AttachDrawingSurface(Window& dialog);
void DetachDrawingSurface(Window& dialog);

// A device context of the dialog's surface for the WM_CTLCOLOR* messages, and its release.
HDC ColourQueryDc(Window& dialog);
void ReleaseColourQueryDc(Window& dialog, HDC dc);

}  // namespace drovan::ui::headless
