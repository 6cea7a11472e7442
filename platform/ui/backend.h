// The backend interface: what a dialog toolkit must supply under the framework.
//
// The framework above keeps the state of every dialog and control in its own model
// (window.h) and implements Windows' control behaviour once: automatic radio groups,
// check boxes, sorted combo-box insertion, CB_FINDSTRING, the progress bar's wrap, the
// default button, Escape and the close box as Cancel, message maps, data exchange, and the
// reporting of framework exceptions. A backend only
//   - builds a native peer for a dialog from its template and the model (Create),
//     mirrors each model change on screen (Update) and tears it down (Destroy);
//   - runs a modal loop until the dialog has ended, delivering the user's actions through
//     the User* functions of window.h, posted messages, WM_PAINT and WM_TIMER;
//   - provides a message queue (Post, Peek), cross-thread sends, timers, message boxes
//     (from any thread), the wait cursor, dialog base units and the painting of a
//     display list.
//
// A real Win32 backend fits by building HWNDs from an in-memory DLGTEMPLATEEX (check boxes
// and radio buttons created without their automatic styles, so the framework's behaviour
// applies), forwarding WM_COMMAND from native controls to the User* functions and running
// a GetMessage/IsDialogMessage loop. A Qt backend builds widgets laid out in dialog units,
// runs QEventLoop::exec() and shows a worker's message box on the GUI thread while the
// worker waits. The headless backend (headless/) keeps no peers at all: the model is the
// state, and a scripted user drives it.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/window.h"

namespace drovan::ui {

// What a window's paint produced, for a backend to draw: every blit onto the window and
// every icon drawn, in order.
struct PaintOp {
    enum Kind { StretchBlt, BitBlt, DrawIcon, EraseIconBackground } kind = StretchBlt;
    RECT dst{};           // destination, window client pixels
    int bitmapId = 0;     // the source bitmap's resource ID (0 for none)
    SIZE bitmapSize{};    // its size in pixels
    RECT src{};           // source rectangle in the bitmap
    DWORD rop = 0;
    int iconId = 0;       // DrawIcon: the icon's resource ID
};
using PaintList = std::vector<PaintOp>;

class Backend {
public:
    virtual ~Backend() = default;

    virtual void Create(Window& dialog) = 0;
    virtual void Destroy(Window& dialog) = 0;
    virtual void Update(Window& w, Change what) = 0;

    // Runs until dialog.ended is set (by EndDialog, which then calls EndModal).
    virtual void RunModalLoop(Window& dialog) = 0;
    virtual void EndModal(Window& dialog) = 0;

    virtual void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool Peek(MSG& out, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) = 0;
    // A message sent from a thread other than the GUI thread: handled on the GUI thread
    // while the caller waits.
    virtual LRESULT SendFromOtherThread(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) = 0;

    virtual void SetTimer(Window& w, UINT_PTR id, UINT elapseMs) = 0;
    virtual bool KillTimer(Window& w, UINT_PTR id) = 0;

    // A message box; owner is nullptr for none. Callable from any thread; a worker's box
    // blocks only that worker. Returns the IDOK.. code of the button chosen.
    virtual int MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) = 0;

    virtual void SetWaitCursor(bool on) = 0;
    virtual void Beep() {}
    // Dialog base units (average character width and height in pixels) of a template's font.
    virtual POINT BaseUnits(const res::DialogTemplate& t) = 0;
    // The window needs painting: deliver WM_PAINT when the queue is otherwise empty.
    virtual void Invalidate(Window& w) = 0;
    // A paint of the window finished (EndPaint) with these operations.
    virtual void Present(Window& w, const PaintList& ops) = 0;
};

Backend& CurrentBackend();
// Installs the backend the framework uses; the caller keeps it alive.
void SetBackend(Backend* backend);
bool HasBackend();

// The GUI thread: the thread that runs the dialogs. Set by the first modal dialog (or
// explicitly by a backend or test).
bool OnGuiThread();
void SetGuiThreadToCurrent();

// Message-box helpers shared by every backend.
std::vector<int> MessageBoxButtons(UINT type);  // IDOK, IDCANCEL, ... in display order
int MessageBoxDefault(UINT type);                // the button MB_DEFBUTTONn selects
const char* ButtonName(int id);                   // "OK", "CANCEL", ...
int ButtonFromName(const std::string& name);      // 0 when unknown
const char* IconName(UINT type);                  // "information", "error", ...
// The resource ID a bitmap or icon handle was loaded from (0 for none or unknown), for a
// backend that draws the picture itself.
int ImageResourceId(HANDLE image);

}  // namespace drovan::ui
