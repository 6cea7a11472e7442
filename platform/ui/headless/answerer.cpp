#include "platform/ui/headless/answerer.h"

#include <chrono>
#include <memory>

namespace drovan::ui::headless {

namespace {
using namespace std::chrono_literals;
}

AnswerRunner::AnswerRunner(HeadlessBackend& backend, Transcript& transcript, Answerer& answerer)
    : m_backend(backend), m_script(backend, transcript), m_answerer(answerer) {
    m_backend.SetBoxAnswerer([this](Window* owner, const Text& text, const Text& caption, UINT type) {
        return m_answerer.Answer(owner, text, caption, type);
    });
}

void AnswerRunner::Run() {
    while (!m_backend.HasProgramEnded()) {
        m_backend.Settle(200ms);
        Window* dialog = ActiveDialog();
        std::vector<Command> commands;
        if (dialog) commands = m_answerer.Next(*dialog, *this);
        if (commands.empty()) {
            // Stops at once when the program ends, so that its end is not waited out.
            m_backend.Advance(kWaitStepMs, [this] { return m_backend.HasProgramEnded(); });
            continue;
        }
        for (const Command& c : commands) {
            std::optional<ScriptError> error = m_script.Execute(c);
            if (!error) error = m_backend.TakeError();
            if (error) {
                m_answerer.Refused(*error);
                break;
            }
        }
    }
}

void AnswerRunner::OnGuiThread(const std::function<void()>& fn) {
    auto done = std::make_shared<bool>(false);
    m_backend.Perform([fn, done] {
        fn();
        std::lock_guard lock(sim::clock::Lock());
        *done = true;
        sim::clock::NotifyAll();
    });
    std::unique_lock lock(sim::clock::Lock());
    // Machine-clock wait on the flag only: no deadline, the program's own work bounds it.
    sim::clock::WaitUntil(lock, sim::clock::kForever, [&] { return *done || m_backend.HasProgramEnded(); });
}

}  // namespace drovan::ui::headless
