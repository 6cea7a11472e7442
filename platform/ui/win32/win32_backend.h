// The Win32 backend: real dialogs built in memory from the same templates (DLGTEMPLATEEX),
// the common controls 6 progress bar and IP address control, Windows' own message boxes and
// timers. The framework's loop (message_loop.h) waits for input in GetMessage, with
// IsDialogMessage; posted work wakes it through a message-only window, which also delivers
// that work from inside any native loop (a message box's, a window being moved).
//
// The framework's model stays the state: a native window is only its peer (Window::peer
// holds the HWND). Native input goes back through the User* functions of window.h, so the
// shared control behaviour (radio groups, sorted lists, the default button, Escape) runs
// exactly as in every other home, and each model change is mirrored onto the peer by Update.
// Painting goes straight to the native window: CPaintDC and friends reach the peer's HWND
// (NativeWindow below), so a dialog's OnPaint draws with real GDI.
#pragma once

#include <atomic>
#include <map>

#include "platform/ui/backend.h"

namespace drovan::ui::win32 {

class Win32Backend : public Backend {
public:
    Win32Backend();
    ~Win32Backend() override;

    // The loop's primitives: GetMessage and IsDialogMessage, a wake-up message, the native
    // WM_PAINT; the owner is disabled while a dialog runs, and a dialog hides as it ends.
    bool WaitForInput(std::unique_lock<std::mutex>& lock, Window* dialog, sim::clock::Millis deadline,
                      const std::function<bool()>& ready) override;
    void Wake() override;
    void Paint(Window& dialog) override;
    void Invalidate(Window& w) override;
    void RunModalLoop(Window& dialog) override;
    void DialogEnded(Window& dialog) override;
    // Windows' own timers, message boxes, cursor and beep.
    void SetTimer(Window& w, UINT_PTR id, UINT elapseMs) override;
    bool KillTimer(Window& w, UINT_PTR id) override;
    int MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) override;
    void SetWaitCursor(bool on) override;
    void Beep() override;
    // The native peers.
    POINT BaseUnits(const res::DialogTemplate& t) override;
    bool Create(Window& dialog) override;
    void Destroy(Window& dialog) override;
    void Update(Window& w, Change what) override;
    void Present(Window&, const PaintList&) override {}

    // The model window of a native one (nullptr when it is not ours).
    Window* ModelOf(HWND native);

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR OnNative(Window& dialog, HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnNativeCommand(Window& dialog, WPARAM wParam, LPARAM lParam);
    bool OnKey(Window& dialog, const MSG& msg);
    Window* NativeFocus();
    void ApplyFocus(Window& dialog);
    void FollowFocus(Window& dialog);
    void MirrorAll(Window& w);

    std::atomic<HWND> m_wake{nullptr};   // the GUI thread's wake-up window, once a dialog exists
    std::map<HWND, Window*> m_byNative;  // GUI thread only
    int m_mirroring = 0;                 // notifications caused by our own updates are not input
    std::map<Window*, HWND> m_appliedFocus;  // the model's focus last put on the native controls
    bool m_waitCursor = false;
};

// The native window of a model handle, or the handle itself when it has no peer.
HWND NativeWindow(HWND modelHandle);

}  // namespace drovan::ui::win32
