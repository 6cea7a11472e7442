#include "platform/ui/message_loop.h"

#include <algorithm>
#include <memory>

#include "platform/ui/backend.h"

namespace drovan::ui {

void MessageLoop::Run(const std::function<bool()>& done, Window* dialog) {
    {
        std::lock_guard lock(sim::clock::Lock());
        ++m_loops;
    }
    for (;;) {
        sim::clock::Millis now = sim::clock::Now();
        std::unique_lock lock(sim::clock::Lock());
        if (done()) break;
        if (!m_queue.empty()) {
            Item item = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            Deliver(item);
            continue;
        }
        if (Window* d = PaintPendingLocked()) {
            lock.unlock();
            m_backend.Paint(*d);
            continue;
        }
        auto due = std::min_element(m_timers.begin(), m_timers.end(),
                                    [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (due != m_timers.end() && due->due <= now) {
            due->due = now + std::max<UINT>(due->interval, 1);
            HWND hwnd = due->hwnd;
            UINT_PTR id = due->id;
            lock.unlock();
            if (Window* w = FromHandle(hwnd)) Send(*w, WM_TIMER, id, 0);
            continue;
        }
        m_idle = true;
        sim::clock::NotifyAll();
        auto next = NextTimerDueLocked();
        bool goOn = m_backend.WaitForInput(lock, dialog, next ? *next : sim::clock::kForever, [&] {
            return !m_queue.empty() || done() || PaintPendingLocked() != nullptr || NextTimerDueLocked() != next;
        });
        m_idle = false;
        if (!goOn) break;
    }
    std::lock_guard lock(sim::clock::Lock());
    --m_loops;
}

void MessageLoop::Deliver(Item& item) {
    LRESULT result = 0;
    if (item.task) {
        item.task();
    } else if (item.msg != WM_QUIT) {
        if (Window* w = FromHandle(item.hwnd)) result = Send(*w, item.msg, item.wParam, item.lParam);
    }
    if (item.done) {
        std::lock_guard lock(sim::clock::Lock());
        *item.result = result;
        *item.done = true;
        sim::clock::NotifyAll();
    }
}

void MessageLoop::DeliverQueued() {
    for (;;) {
        std::unique_lock lock(sim::clock::Lock());
        if (m_queue.empty()) return;
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        Deliver(item);
    }
}

void MessageLoop::PushLocked(Item item) {
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
    m_backend.Wake();
}

void MessageLoop::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(sim::clock::Lock());
    Item item;
    item.hwnd = hwnd;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    PushLocked(std::move(item));
}

void MessageLoop::PostTask(std::function<void()> task) {
    std::lock_guard lock(sim::clock::Lock());
    Item item;
    item.task = std::move(task);
    PushLocked(std::move(item));
}

bool MessageLoop::Peek(MSG& out, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    std::lock_guard lock(sim::clock::Lock());
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (it->task || it->done) continue;  // not messages of the queue a program sees
        if (hwnd && it->hwnd != hwnd) continue;
        if ((filterMin || filterMax) && (it->msg < filterMin || it->msg > filterMax)) continue;
        out = MSG{it->hwnd, it->msg, it->wParam, it->lParam, 0, {0, 0}};
        if (removeFlags & PM_REMOVE) m_queue.erase(it);
        return true;
    }
    return false;
}

LRESULT MessageLoop::SendFromOtherThread(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool done = false;
    std::unique_lock lock(sim::clock::Lock());
    Item item;
    item.hwnd = w.hwnd;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    item.result = &result;
    item.done = &done;
    PushLocked(std::move(item));
    sim::clock::WaitUntil(lock, sim::clock::kForever, [&] { return done; });
    return result;
}

void MessageLoop::SetTimer(Window& w, UINT_PTR id, UINT elapseMs) {
    sim::clock::Millis now = sim::clock::Now();
    std::lock_guard lock(sim::clock::Lock());
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == w.hwnd && t.id == id; });
    Timer t{w.hwnd, id, elapseMs, now + std::max<UINT>(elapseMs, 1)};
    if (it != m_timers.end()) *it = t;
    else m_timers.push_back(t);
    sim::clock::NotifyAll();
    m_backend.Wake();
}

bool MessageLoop::KillTimer(Window& w, UINT_PTR id) {
    std::lock_guard lock(sim::clock::Lock());
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == w.hwnd && t.id == id; });
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    sim::clock::NotifyAll();
    return true;
}

void MessageLoop::AddDialog(Window& dialog) {
    std::lock_guard lock(sim::clock::Lock());
    m_dialogs.push_back(&dialog);
}

void MessageLoop::RemoveDialog(Window& dialog) {
    std::lock_guard lock(sim::clock::Lock());
    m_dialogs.erase(std::remove(m_dialogs.begin(), m_dialogs.end(), &dialog), m_dialogs.end());
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [&](const Timer& t) {
                                      if (t.hwnd == dialog.hwnd) return true;
                                      for (auto& c : dialog.children)
                                          if (t.hwnd == c->hwnd) return true;
                                      return false;
                                  }),
                   m_timers.end());
}

void MessageLoop::Invalidate(Window& w) {
    std::lock_guard lock(sim::clock::Lock());
    w.needsPaint = true;
    sim::clock::NotifyAll();
    m_backend.Wake();
}

void MessageLoop::Wake() {
    std::lock_guard lock(sim::clock::Lock());
    sim::clock::NotifyAll();
    m_backend.Wake();
}

int MessageLoop::AwaitAnswer(const std::function<void(std::function<void(int)> answered)>& show) {
    struct Answer {
        int button = 0;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    show([this, answer](int button) {
        std::lock_guard lock(sim::clock::Lock());
        answer->button = button;
        answer->done = true;
        sim::clock::NotifyAll();
        m_backend.Wake();
    });
    if (OnGuiThread()) {
        Run([&] { return answer->done; }, nullptr);
    } else {
        std::unique_lock lock(sim::clock::Lock());
        sim::clock::WaitUntil(lock, sim::clock::kForever, [&] { return answer->done; });
    }
    std::lock_guard lock(sim::clock::Lock());
    return answer->button;
}

bool MessageLoop::Idle() {
    sim::clock::Millis now = sim::clock::Now();
    std::lock_guard lock(sim::clock::Lock());
    return m_idle && NothingToDoLocked(now);
}

bool MessageLoop::NothingToDoLocked(sim::clock::Millis now) const {
    return m_queue.empty() && !PaintPendingLocked() && !TimerDueLocked(now);
}

Window* MessageLoop::PaintPendingLocked() const {
    for (auto it = m_dialogs.rbegin(); it != m_dialogs.rend(); ++it)
        if ((*it)->needsPaint && (*it)->Visible() && !(*it)->ended) return *it;
    return nullptr;
}

bool MessageLoop::TimerDueLocked(sim::clock::Millis now) const {
    return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.due <= now; });
}

std::optional<sim::clock::Millis> MessageLoop::NextTimerDueLocked() const {
    std::optional<sim::clock::Millis> next;
    for (const Timer& t : m_timers)
        if (!next || t.due < *next) next = t.due;
    return next;
}

// ---- The backend's defaults ----

void Backend::RunModalLoop(Window& dialog) {
    m_loop.Run([&] { return dialog.ended; }, &dialog);
}

void Backend::Paint(Window& dialog) {
    Send(dialog, WM_PAINT, 0, 0);
    dialog.needsPaint = false;  // a handler that paints nothing still validates
}

bool Backend::WaitForInput(std::unique_lock<std::mutex>& lock, Window*, sim::clock::Millis deadline,
                           const std::function<bool()>& ready) {
    sim::clock::WaitUntil(lock, deadline, ready);
    return true;
}

}  // namespace drovan::ui
