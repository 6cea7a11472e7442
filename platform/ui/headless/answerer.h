// A user who answers from a policy instead of a script: how a program runs unattended.
//
// The program runs on the headless backend exactly as it runs for a person; only the
// person is replaced. Each time the program has settled, the answerer looks at the active
// dialog (the framework's model: what a user would see) and says what to do next, in the
// commands of the script language, which are played as a script's are. Message boxes, from
// any thread, are answered by it as they come. When it has nothing to do (an installation
// runs, a worker pauses) time passes until the program shows something new.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/ui/headless/script.h"

namespace drovan::ui::headless {

class AnswerRunner;

class Answerer {
public:
    virtual ~Answerer() = default;
    // The program has settled with `dialog` active: the commands to play (empty: nothing
    // to do yet). Called on the answering thread; runner.OnGuiThread reaches the program.
    virtual std::vector<Command> Next(Window& dialog, AnswerRunner& runner) = 0;
    // A message box, on the thread that shows it: the button to press (0: its default).
    virtual int Answer(Window* owner, const Text& text, const Text& caption, UINT type) = 0;
    // A command that the program could not take (a control that is not there, ...): the
    // rest of that turn's commands are dropped, and the next turn begins.
    virtual void Refused(const ScriptError& error) = 0;
};

class AnswerRunner {
public:
    AnswerRunner(HeadlessBackend& backend, Transcript& transcript, Answerer& answerer);
    // Answers until the program ends: call on a thread of its own once the backend is set
    // (the constructor installs the box answerer).
    void Run();
    // Runs fn on the GUI thread, from its loop, and returns once it has run.
    void OnGuiThread(const std::function<void()>& fn);

    // How long time passes, at most, while the answerer waits for the program.
    static constexpr sim::clock::Millis kWaitStepMs = 50;

private:
    HeadlessBackend& m_backend;
    ScriptRunner m_script;
    Answerer& m_answerer;
};

}  // namespace drovan::ui::headless
