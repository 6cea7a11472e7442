// The headless backend: no display. Dialogs exist only as the framework's model; a
// scripted user (the replay tool, or a test) acts on the active dialog, answers message
// boxes from a queue, and moves the machine clock, which drives the dialogs' timers.
//
// Threads: the GUI thread runs the framework's loop (message_loop.h); the user's actions are
// handed to it as posted mouse messages and tasks, and the user waits until the GUI has
// settled (it is idle in its loop, or blocked in a wait of its own). A message box from any
// thread takes the next queued answer at once, or its default button; a worker's box so
// blocks only that worker.
//
// The clock is the simulated machine's. The replay tool drives it on Linux, so time passes
// only when the script waits; on Windows it stays in its real mode (the program's own
// sleeps and waits are the real system's), so a script's `wait` is real time there.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/clock.h"
#include "platform/ui/backend.h"
#include "platform/ui/headless/thread_watch.h"
#include "platform/ui/headless/transcript.h"

namespace drovan::ui::headless {

struct ScriptError {
    int line = 0;
    std::string message;
};

class HeadlessBackend : public Backend {
public:
    explicit HeadlessBackend(Transcript& transcript);
    ~HeadlessBackend() override;

    // Backend.
    bool Create(Window& dialog) override;
    void Destroy(Window& dialog) override;
    void Update(Window&, Change) override {}
    void RunModalLoop(Window& dialog) override;
    void DialogEnded(Window& dialog) override;
    void Paint(Window& dialog) override;
    int MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) override;
    void SetWaitCursor(bool on) override { m_waitCursor = on; }
    void Beep() override { ++m_beeps; }
    POINT BaseUnits(const res::DialogTemplate& t) override;
    void Present(Window& w, const PaintList& ops) override;

    // The user's side.
    // Waits until the GUI thread is idle in its loop with nothing to do, or the program has
    // ended; false when it is still busy or blocked after `bound` (real time).
    bool Settle(std::chrono::milliseconds bound);
    // Runs `task` on the GUI thread, from its loop.
    void Perform(std::function<void()> task) { Loop().PostTask(std::move(task)); }
    // Moves the machine clock forward by `ms` in steps, delivering timers in order and
    // giving other threads real time between steps. Stops early when `stop` holds.
    bool Advance(sim::clock::Millis ms, const std::function<bool()>& stop = {});
    void QueueAnswer(int button, int scriptLine);
    // Answers the message boxes for which no answer is queued, on the thread that shows
    // each: the button to press, or 0 for the box's default. Set before the program starts.
    using BoxAnswerer = std::function<int(Window* owner, const Text& text, const Text& caption, UINT type)>;
    void SetBoxAnswerer(BoxAnswerer answerer) { m_boxAnswerer = std::move(answerer); }
    void ProgramEnded();
    bool HasProgramEnded() const { return m_programEnded; }
    std::optional<ScriptError> TakeError();
    void SetError(int line, std::string message);

    bool WaitCursorShown() const { return m_waitCursor; }
    int Beeps() const { return m_beeps; }
    // What the last paint of a dialog (by template ID) drew.
    PaintList LastPaint(int templateId);
    int PaintCount(int templateId);

private:
    struct Answer {
        int button;
        int line;
    };

    bool GuiBlocked();

    Transcript& m_transcript;
    std::atomic<bool> m_programEnded{false};
    std::atomic<bool> m_waitCursor{false};
    std::atomic<int> m_beeps{0};
    ThreadWatch m_guiWatch;
    std::atomic<bool> m_guiWatched{false};

    BoxAnswerer m_boxAnswerer;
    std::mutex m_answerMutex;  // answers, errors, paints: touched from any thread
    std::deque<Answer> m_answers;
    std::optional<ScriptError> m_error;
    std::map<int, PaintList> m_lastPaint;
    std::map<int, int> m_paintCount;
};

}  // namespace drovan::ui::headless
