// The backend interface: what a dialog toolkit must supply under the framework.
//
// The framework above keeps the state of every dialog and control in its own model
// (window.h) and implements Windows' control behaviour once: automatic radio groups,
// check boxes, sorted combo-box insertion, CB_FINDSTRING, the progress bar's wrap, the
// default button, Escape and the close box as Cancel (unless Cancel is disabled), the
// keyboard focus (dialog_manager.h), message maps, data exchange, and the reporting of
// framework exceptions. It also runs the message loop once (message_loop.h):
// the queue of posted and cross-thread messages, timers on the machine clock, WM_PAINT,
// the idle state and the wait for a message box's answer. A backend only
//   - builds a native peer for a dialog from its template and the model (Create),
//     mirrors each model change on screen (Update) and tears it down (Destroy);
//   - feeds the user's actions to the framework through the User* functions of window.h
//     and dialog_manager.h (or as tasks posted to the loop, from a thread of its own), and
//     puts its native focus where the model's is (Change::Focus);
//   - supplies the loop's primitives: how the GUI thread waits for input, how it is woken,
//     how a dialog is painted;
//   - shows message boxes (from any thread), the wait cursor, measures dialog base units
//     and draws a paint's display list.
//
// The real Win32 backend builds HWNDs from an in-memory DLGTEMPLATEEX (check boxes and
// radio buttons created without their automatic styles, so the framework's behaviour
// applies), forwards WM_COMMAND from native controls to the User* functions, waits in
// GetMessage with IsDialogMessage, and keeps Windows' own timers and message boxes. The Qt
// backend builds widgets laid out in dialog units on Qt's thread and shows a worker's
// message box there while the loop goes on. The headless backend (headless/) keeps no peers
// at all: the model is the state, and a scripted user drives it.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sim/clock.h"
#include "platform/ui/message_loop.h"
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
    Backend() : m_loop(*this) {}
    virtual ~Backend() = default;

    // Makes the dialog's native window; false when the system refused it (DoModal then
    // returns -1, as Windows' does when a dialog cannot be created).
    virtual bool Create(Window& dialog) = 0;
    virtual void Destroy(Window& dialog) = 0;
    virtual void Update(Window& w, Change what) = 0;

    // Runs the loop until dialog.ended is set (by EndDialog). A backend may wrap it (its
    // owner disabled meanwhile, ...).
    virtual void RunModalLoop(Window& dialog);
    // EndDialog has ended the dialog; its loop is woken afterwards.
    virtual void DialogEnded(Window&) {}

    // The loop's primitives.
    // Paints a dialog that needs it and leaves it valid. The default sends WM_PAINT.
    virtual void Paint(Window& dialog);
    // The GUI thread has nothing to do: waits, with the clock's lock held on entry and on
    // return, until ready() may hold or machine time reaches deadline. False when the
    // thread's queue is finished (WM_QUIT) and the loop must return. The default waits on
    // the machine clock.
    virtual bool WaitForInput(std::unique_lock<std::mutex>& lock, Window* dialog, sim::clock::Millis deadline,
                              const std::function<bool()>& ready);
    // Something was queued for the loop (called with the clock's lock held): a backend
    // whose wait is not the machine clock's wakes its GUI thread here.
    virtual void Wake() {}

    // Timers: on the machine clock by the loop, unless the toolkit's own are used.
    virtual void SetTimer(Window& w, UINT_PTR id, UINT elapseMs) { m_loop.SetTimer(w, id, elapseMs); }
    virtual bool KillTimer(Window& w, UINT_PTR id) { return m_loop.KillTimer(w, id); }
    // The window needs painting: WM_PAINT when the queue is otherwise empty.
    virtual void Invalidate(Window& w) { m_loop.Invalidate(w); }

    // The message queue, the same for every backend.
    void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { m_loop.Post(hwnd, msg, wParam, lParam); }
    bool Peek(MSG& out, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
        return m_loop.Peek(out, hwnd, filterMin, filterMax, removeFlags);
    }
    // A message sent from a thread other than the GUI thread: handled on the GUI thread
    // while the caller waits.
    LRESULT SendFromOtherThread(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
        return m_loop.SendFromOtherThread(w, msg, wParam, lParam);
    }
    MessageLoop& Loop() { return m_loop; }

    // A message box; owner is nullptr for none. Callable from any thread; a worker's box
    // blocks only that worker. Returns the IDOK.. code of the button chosen.
    virtual int MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) = 0;

    virtual void SetWaitCursor(bool on) = 0;
    virtual void Beep() {}
    // Dialog base units (average character width and height in pixels) of a template's font.
    virtual POINT BaseUnits(const res::DialogTemplate& t) = 0;
    // A paint of the window finished (EndPaint) with these operations.
    virtual void Present(Window& w, const PaintList& ops) = 0;

private:
    MessageLoop m_loop;
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
