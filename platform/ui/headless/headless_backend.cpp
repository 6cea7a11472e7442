#include "platform/ui/headless/headless_backend.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "platform/ui/headless/drawing_surface.h"
#include "platform/ui/text.h"

namespace drovan::ui::headless {

namespace {
using Clock = std::chrono::steady_clock;
constexpr sim::clock::Millis kStepMs = 20;                           // longest clock step of a wait
constexpr auto kRealTimePerStep = std::chrono::microseconds(1000);  // what other threads get per step
}  // namespace

HeadlessBackend::HeadlessBackend(Transcript& transcript) : m_transcript(transcript) {}
HeadlessBackend::~HeadlessBackend() = default;

void HeadlessBackend::Create(Window& dialog) {
    AttachDrawingSurface(dialog);
    {
        std::lock_guard lock(sim::clock::Lock());
        m_dialogs.push_back(&dialog);
    }
    m_transcript.Line("open " + std::to_string(dialog.id));
}

void HeadlessBackend::Destroy(Window& dialog) {
    DetachDrawingSurface(dialog);
    std::lock_guard lock(sim::clock::Lock());
    m_dialogs.erase(std::remove(m_dialogs.begin(), m_dialogs.end(), &dialog), m_dialogs.end());
    // A window's timers die with it.
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [&](const Timer& t) {
                                      if (t.hwnd == dialog.hwnd) return true;
                                      for (auto& c : dialog.children)
                                          if (t.hwnd == c->hwnd) return true;
                                      return false;
                                  }),
                   m_timers.end());
}

void HeadlessBackend::EndModal(Window& dialog) {
    m_transcript.Line("end " + std::to_string(dialog.id) + " " + std::to_string(dialog.endCode));
    std::lock_guard lock(sim::clock::Lock());
    sim::clock::NotifyAll();
}

bool HeadlessBackend::TimerDueLocked(sim::clock::Millis now) const {
    return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.due <= now; });
}

std::optional<sim::clock::Millis> HeadlessBackend::NextDueLocked() const {
    std::optional<sim::clock::Millis> next;
    for (const Timer& t : m_timers)
        if (!next || t.due < *next) next = t.due;
    return next;
}

Window* HeadlessBackend::PaintPendingLocked() const {
    for (auto it = m_dialogs.rbegin(); it != m_dialogs.rend(); ++it)
        if ((*it)->needsPaint && (*it)->Visible() && !(*it)->ended) return *it;
    return nullptr;
}

void HeadlessBackend::RunModalLoop(Window& dialog) {
    m_guiWatch.WatchCurrentThread();
    m_guiWatched = true;
    for (;;) {
        sim::clock::Millis now = sim::clock::Now();
        std::unique_lock lock(sim::clock::Lock());
        if (dialog.ended) break;
        if (!m_queue.empty()) {
            Item item = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            Deliver(item);
            continue;
        }
        if (Window* d = PaintPendingLocked()) {
            lock.unlock();
            PaintDialog(*d);
            continue;
        }
        // Windows sends WM_TIMER only when nothing else is waiting, one tick per timer,
        // and counts the next interval from the tick.
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
        auto next = NextDueLocked();
        sim::clock::WaitUntil(lock, next ? *next : sim::clock::kForever, [&] {
            return !m_queue.empty() || dialog.ended || PaintPendingLocked() != nullptr ||
                   NextDueLocked() != next;
        });
        m_idle = false;
    }
}

void HeadlessBackend::Deliver(Item& item) {
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

void HeadlessBackend::PaintDialog(Window& d) {
    if (d.needsPaint) Send(d, WM_PAINT, 0, 0);
    d.needsPaint = false;  // a handler that paints nothing still validates
    // The controls ask their dialog for their colours as they draw.
    HDC dc = ColourQueryDc(d);
    Send(d, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(d.hwnd));
    for (auto& c : d.children) {
        if (!c->Visible()) continue;
        UINT msg = WM_CTLCOLORSTATIC;
        if (c->kind == WindowKind::Edit && !(c->style & ES_READONLY)) msg = WM_CTLCOLOREDIT;
        else if (c->kind == WindowKind::Button && c->ButtonType() <= BS_DEFPUSHBUTTON) msg = WM_CTLCOLORBTN;
        else if (c->kind == WindowKind::ComboBox) msg = WM_CTLCOLORLISTBOX;
        Send(d, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c->hwnd));
    }
    ReleaseColourQueryDc(d, dc);
}

void HeadlessBackend::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(sim::clock::Lock());
    Item item;
    item.hwnd = hwnd;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
}

void HeadlessBackend::Perform(std::function<void()> task) {
    std::lock_guard lock(sim::clock::Lock());
    Item item;
    item.task = std::move(task);
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
}

bool HeadlessBackend::Peek(MSG& out, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    std::lock_guard lock(sim::clock::Lock());
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (it->task || it->done) continue;
        if (hwnd && it->hwnd != hwnd) continue;
        if ((filterMin || filterMax) && (it->msg < filterMin || it->msg > filterMax)) continue;
        out = MSG{it->hwnd, it->msg, it->wParam, it->lParam, 0, {0, 0}};
        if (removeFlags & PM_REMOVE) m_queue.erase(it);
        return true;
    }
    return false;
}

LRESULT HeadlessBackend::SendFromOtherThread(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
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
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
    sim::clock::WaitUntil(lock, sim::clock::kForever, [&] { return done; });
    return result;
}

void HeadlessBackend::SetTimer(Window& w, UINT_PTR id, UINT elapseMs) {
    sim::clock::Millis now = sim::clock::Now();
    std::lock_guard lock(sim::clock::Lock());
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == w.hwnd && t.id == id; });
    Timer t{w.hwnd, id, elapseMs, now + std::max<UINT>(elapseMs, 1)};
    if (it != m_timers.end()) *it = t;
    else m_timers.push_back(t);
    sim::clock::NotifyAll();
}

bool HeadlessBackend::KillTimer(Window& w, UINT_PTR id) {
    std::lock_guard lock(sim::clock::Lock());
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == w.hwnd && t.id == id; });
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    sim::clock::NotifyAll();
    return true;
}

int HeadlessBackend::MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) {
    std::vector<int> buttons = MessageBoxButtons(type);
    std::optional<Answer> answer;
    {
        std::lock_guard lock(m_answerMutex);
        if (!m_answers.empty()) {
            answer = m_answers.front();
            m_answers.pop_front();
        }
    }
    int result;
    bool byDefault = false;
    if (answer && std::find(buttons.begin(), buttons.end(), answer->button) != buttons.end()) {
        result = answer->button;
    } else {
        if (answer) {
            std::string have;
            for (int b : buttons) have += std::string(have.empty() ? "" : " ") + ButtonName(b);
            SetError(answer->line, std::string("answer ") + ButtonName(answer->button) +
                                       " does not fit the message box " + Transcript::Quote(text) + " (buttons: " + have + ")");
        }
        result = MessageBoxDefault(type);
        byDefault = true;
    }
    std::string ownerName = owner ? std::to_string(owner->id) : "none";
    m_transcript.Line("msgbox owner=" + ownerName + " icon=" + IconName(type) + " caption=" + Transcript::Quote(caption) +
                      " text=" + Transcript::Quote(text) + " -> " + ButtonName(result) + (byDefault ? " (default)" : ""));
    return result;
}

POINT HeadlessBackend::BaseUnits(const res::DialogTemplate& t) {
    // Average character width and height of the template's font on a 96-dpi screen.
    if (!t.fontFace) return POINT{8, 16};
    switch (t.fontPoints) {
    case 8: return POINT{6, 13};
    case 9: return POINT{7, 14};
    default: return POINT{std::max(1, (t.fontPoints * 3 + 2) / 4), std::max(1, (t.fontPoints * 13 + 4) / 8)};
    }
}

void HeadlessBackend::Invalidate(Window& w) {
    std::lock_guard lock(sim::clock::Lock());
    w.needsPaint = true;
    sim::clock::NotifyAll();
}

void HeadlessBackend::Present(Window& w, const PaintList& ops) {
    std::lock_guard lock(m_answerMutex);
    m_lastPaint[w.id] = ops;
    ++m_paintCount[w.id];
}

PaintList HeadlessBackend::LastPaint(int templateId) {
    std::lock_guard lock(m_answerMutex);
    return m_lastPaint[templateId];
}

int HeadlessBackend::PaintCount(int templateId) {
    std::lock_guard lock(m_answerMutex);
    return m_paintCount[templateId];
}

bool HeadlessBackend::GuiBlocked() {
    if (!m_guiWatched) return false;
    if (m_guiWatch.Exact()) {
        // One look, under the lock that both the idle flag and every wait change under.
        std::lock_guard lock(sim::clock::Lock());
        return !m_idle && m_guiWatch.Waiting();
    }
    // Not running three times running while not idle in the loop: waiting on something of
    // its own (an event, a worker, a process).
    for (int i = 0; i < 3; ++i) {
        if (!m_guiWatch.Waiting()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard lock(sim::clock::Lock());
        if (m_idle) return false;
    }
    return true;
}

bool HeadlessBackend::Settle(std::chrono::milliseconds bound) {
    auto deadline = Clock::now() + bound;
    for (int round = 0;; ++round) {
        sim::clock::Millis now = sim::clock::Now();
        {
            std::lock_guard lock(sim::clock::Lock());
            if (m_programEnded) return true;
            if (m_idle && m_queue.empty() && !PaintPendingLocked() && !TimerDueLocked(now)) return true;
        }
        if (Clock::now() >= deadline) return false;
        // An exact watch costs nothing to ask; an inferred one needs time between looks.
        bool ask = m_guiWatch.Exact() || (round > 20 && round % 10 == 0);
        if (ask && GuiBlocked()) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(round < 20 ? 50 : 500));
    }
}

bool HeadlessBackend::Advance(sim::clock::Millis ms, const std::function<bool()>& stop) {
    sim::clock::Millis target = sim::clock::Now() + ms;
    for (;;) {
        Settle(std::chrono::milliseconds(200));
        if (stop && stop()) return true;
        sim::clock::Millis now = sim::clock::Now();
        if (now >= target) return false;
        sim::clock::Millis step = std::min(target - now, kStepMs);
        {
            std::lock_guard lock(sim::clock::Lock());
            if (auto next = NextDueLocked(); next && *next > now) step = std::min(step, *next - now);
        }
        if (sim::clock::IsDriven()) {
            auto started = Clock::now();
            sim::clock::Advance(step);
            std::this_thread::sleep_until(started + kRealTimePerStep);
        } else {
            // A real clock moves by itself: the step is real time, as the program's own
            // waits and sleeps are.
            std::this_thread::sleep_for(std::chrono::milliseconds(step));
        }
    }
}

void HeadlessBackend::QueueAnswer(int button, int scriptLine) {
    std::lock_guard lock(m_answerMutex);
    m_answers.push_back({button, scriptLine});
}

void HeadlessBackend::ProgramEnded() {
    m_programEnded = true;
    std::lock_guard lock(sim::clock::Lock());
    sim::clock::NotifyAll();
}

std::optional<ScriptError> HeadlessBackend::TakeError() {
    std::lock_guard lock(m_answerMutex);
    auto e = m_error;
    m_error.reset();
    return e;
}

void HeadlessBackend::SetError(int line, std::string message) {
    std::lock_guard lock(m_answerMutex);
    if (!m_error) m_error = ScriptError{line, std::move(message)};
}

}  // namespace drovan::ui::headless
