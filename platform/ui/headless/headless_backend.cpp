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

bool HeadlessBackend::Create(Window& dialog) {
    AttachDrawingSurface(dialog);
    m_transcript.Line("open " + std::to_string(dialog.id));
    return true;
}

void HeadlessBackend::Destroy(Window& dialog) { DetachDrawingSurface(dialog); }

void HeadlessBackend::DialogEnded(Window& dialog) {
    m_transcript.Line("end " + std::to_string(dialog.id) + " " + std::to_string(dialog.endCode));
}

void HeadlessBackend::RunModalLoop(Window& dialog) {
    m_guiWatch.WatchCurrentThread();
    m_guiWatched = true;
    Backend::RunModalLoop(dialog);
}

void HeadlessBackend::Paint(Window& d) {
    Backend::Paint(d);
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
    auto fits = [&](int button) { return std::find(buttons.begin(), buttons.end(), button) != buttons.end(); };
    int result;
    bool byDefault = false;
    int answered = !answer && m_boxAnswerer ? m_boxAnswerer(owner, text, caption, type) : 0;
    if (answer && fits(answer->button)) {
        result = answer->button;
    } else if (answered && fits(answered)) {
        result = answered;
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
        return !Loop().IdleLocked() && m_guiWatch.Waiting();
    }
    // Not running three times running while not idle in the loop: waiting on something of
    // its own (an event, a worker, a process).
    for (int i = 0; i < 3; ++i) {
        if (!m_guiWatch.Waiting()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard lock(sim::clock::Lock());
        if (Loop().IdleLocked()) return false;
    }
    return true;
}

bool HeadlessBackend::Settle(std::chrono::milliseconds bound) {
    auto deadline = Clock::now() + bound;
    for (int round = 0;; ++round) {
        if (m_programEnded || Loop().Idle()) return true;
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
            if (auto next = Loop().NextTimerDueLocked(); next && *next > now) step = std::min(step, *next - now);
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
