// The framework's message loop, once for every backend: the GUI thread's queue of posted
// messages, tasks and messages sent from other threads; the timers, on the machine clock;
// the dialogs that may need painting; the loop itself and whether it is idle; and the wait
// of a thread that asked for a message box until the user has answered.
//
// Everything here is guarded by the machine clock's lock, so that the loop can wait for a
// message and for its next timer in one machine-time wait, and a scripted user can ask in
// one look whether the GUI thread is idle or blocked. What differs between toolkits stays
// in the backend (backend.h): how a dialog is painted, how the GUI thread waits for input
// (a machine-clock wait, or a native message queue), how a native loop is woken, and how a
// message box is shown.
//
// Windows' order is kept: posted messages in the order they were posted, then WM_PAINT for
// a window that needs it, then WM_TIMER (one tick per timer, the next interval counted from
// the tick) only when nothing else is waiting.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/sim/clock.h"
#include "platform/ui/window.h"

namespace drovan::ui {

class Backend;

class MessageLoop {
public:
    explicit MessageLoop(Backend& backend) : m_backend(backend) {}
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // Runs on the GUI thread until done() holds (asked under the clock's lock), or until the
    // backend's wait reports that the thread's queue is finished (WM_QUIT). `dialog` is the
    // modal dialog the loop runs for, or nullptr (a message box's loop).
    void Run(const std::function<bool()>& done, Window* dialog);

    // The queue. Post and PostTask may be called from any thread.
    void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void PostTask(std::function<void()> task);
    bool Peek(MSG& out, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
    // A message sent from another thread: handled on the GUI thread while the caller waits.
    LRESULT SendFromOtherThread(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);
    // Delivers everything queued now, on the GUI thread: for a backend whose native loops
    // (a native message box's, a window being moved) run outside Run.
    void DeliverQueued();

    // Timers on the machine clock. A timer set again restarts with its new interval.
    void SetTimer(Window& w, UINT_PTR id, UINT elapseMs);
    bool KillTimer(Window& w, UINT_PTR id);

    // The dialogs the loop paints, outermost first. A dialog's timers and its controls'
    // end with it.
    void AddDialog(Window& dialog);
    void RemoveDialog(Window& dialog);
    // The dialog needs painting: WM_PAINT once nothing is waiting before it.
    void Invalidate(Window& w);

    // Wakes the loop to look again (a dialog ended, an answer came).
    void Wake();

    // A message box shown without waiting: `show` puts it up and hands the answer to the
    // function it is given, from any thread. The caller waits for that answer; on the GUI
    // thread the loop runs meanwhile (messages, timers and paints go on, as under a Windows
    // message box), on a worker only the worker waits.
    int AwaitAnswer(const std::function<void(std::function<void(int)> answered)>& show);

    // Idle in a loop with nothing to deliver, paint or tick.
    bool Idle();
    // With the clock's lock held.
    bool IdleLocked() const { return m_idle; }
    std::optional<sim::clock::Millis> NextTimerDueLocked() const;

private:
    struct Item {
        HWND hwnd = nullptr;
        UINT msg = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        std::function<void()> task;
        LRESULT* result = nullptr;  // a send from another thread: where its result goes
        bool* done = nullptr;
    };
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        UINT interval;
        sim::clock::Millis due;
    };

    void PushLocked(Item item);
    void Deliver(Item& item);
    Window* PaintPendingLocked() const;
    bool TimerDueLocked(sim::clock::Millis now) const;
    bool NothingToDoLocked(sim::clock::Millis now) const;

    Backend& m_backend;
    std::deque<Item> m_queue;
    std::vector<Timer> m_timers;
    std::vector<Window*> m_dialogs;
    int m_loops = 0;  // loops running on the GUI thread (a message box's nests in a dialog's)
    bool m_idle = false;
};

}  // namespace drovan::ui
