// Windows: a message-only window per dialog as its peer, so that CPaintDC and friends
// (which draw on a window's peer) get real device contexts that show nothing. Message-only
// windows are never visible and receive no broadcasts, so a GUI thread that does not pump
// native messages holds nobody up.
#include "platform/ui/headless/drawing_surface.h"

namespace drovan::ui::headless {

namespace {
HWND Surface(const Window& w) { return static_cast<HWND>(w.peer); }
}  // namespace

void AttachDrawingSurface(Window& dialog) {
    RECT r = ClientRect(dialog);
    HWND h = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, r.right - r.left, r.bottom - r.top, HWND_MESSAGE,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    dialog.peer = h;
}

void DetachDrawingSurface(Window& dialog) {
    if (HWND h = Surface(dialog)) DestroyWindow(h);
    dialog.peer = nullptr;
}

HDC ColourQueryDc(Window& dialog) {
    HWND h = Surface(dialog);
    return h ? GetDC(h) : nullptr;
}

void ReleaseColourQueryDc(Window& dialog, HDC dc) {
    if (dc) ReleaseDC(Surface(dialog), dc);
}

}  // namespace drovan::ui::headless
