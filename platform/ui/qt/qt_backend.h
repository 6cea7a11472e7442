// The Qt 6 Widgets backend.
//
// Two threads share the work. Qt's own thread (the process's main thread, where the
// QApplication lives) owns every widget: it shows the dialogs, paints them and turns the
// user's clicks and keys into tasks for the framework. The framework's GUI thread (the one
// that runs AfxWinMain and every DoModal) keeps the model and runs the framework's loop
// (message_loop.h), waiting on the machine clock as the headless backend does. Model changes reach the widgets as snapshots queued to Qt's thread, in order, so
// no widget is touched from the framework's thread and no model from Qt's.
//
// Because Qt's thread never waits for the framework's, a message box asked for by any
// thread is shown at once, even while the framework's GUI thread is blocked in a wait of
// its own (for the very worker that asks): the asking thread waits for the answer, and
// the framework's GUI thread keeps running its loop meanwhile, as a Windows message box
// dispatches its owner's messages.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "platform/ui/backend.h"

class QThread;

namespace drovan::ui::qt {

class QtDialog;

class QtBackend : public Backend {
public:
    // Constructed on Qt's thread, after the QApplication; sets up the fonts and style.
    QtBackend();
    ~QtBackend() override;

    // Backend.
    bool Create(Window& dialog) override;
    void Destroy(Window& dialog) override;
    void Update(Window& w, Change what) override;
    int MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) override;
    void SetWaitCursor(bool on) override;
    void Beep() override;
    POINT BaseUnits(const res::DialogTemplate& t) override;
    void Present(Window& w, const PaintList& ops) override;

    // Qt's side: a user's action, run on the framework's GUI thread from its loop.
    void PostTask(std::function<void()> task) { Loop().PostTask(std::move(task)); }
    // Any thread: runs `f` on Qt's thread, after everything queued before it.
    void PostToQt(std::function<void()> f);

    // Qt's thread only: the widget of a dialog by template ID (the innermost, when one
    // template runs twice), or nullptr.
    QtDialog* DialogWidget(int templateId) const;
    QtDialog* DialogWidgetOf(HWND hwnd) const;
    // Qt's thread only: processes Qt's events until the framework's GUI thread is idle in a
    // loop with nothing to do and every change has reached the widgets (true), the
    // framework has no loop running and the bound passes (false), or the bound passes.
    bool Settle(int boundMs = 5000);
    // Whether the framework's GUI thread is idle in a loop (for tests and benchmarks).
    bool FrameworkIdle() { return Loop().Idle(); }
    bool WaitCursorShown() const { return m_waitCursor; }
    int Beeps() const { return m_beeps; }  // how often the program has beeped

private:
    bool OnQtThread() const;

    QObject m_context;  // lives on Qt's thread: the target of queued calls
    QThread* m_qtThread = nullptr;
    std::atomic<int> m_qtPending{0};
    std::atomic<bool> m_waitCursor{false};
    std::atomic<int> m_beeps{0};

    std::mutex m_unitsMutex;
    std::map<std::pair<Text, int>, POINT> m_units;

    // Qt's thread only.
    std::map<HWND, QtDialog*> m_widgets;
    friend class QtDialog;
};

}  // namespace drovan::ui::qt
