// The scripted user of the headless backend: the script language of drovan-replay, its
// parser, and the runner that plays a script against the running program.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/headless/headless_backend.h"

namespace drovan::ui::headless {

struct Command {
    enum Kind { Click, Select, SelectIndex, Type, KeyEscape, KeyEnter, KeyTab, KeyShiftTab, Close, ClickAt, Answer, Wait,
                WaitClose, Dump, Focus, Check };
    Kind kind = Dump;
    int line = 0;
    int id = 0;
    int index = 0;  // select-index: the item; check: the check state
    int x = 0, y = 0;
    int button = 0;
    std::string text;  // UTF-8
    sim::clock::Millis ms = 0;
    bool hasMs = false;
};

// Parses a whole script; the error names the first bad line.
std::variant<std::vector<Command>, ScriptError> ParseScript(std::istream& in);

class ScriptRunner {
public:
    ScriptRunner(HeadlessBackend& backend, Transcript& transcript) : m_backend(backend), m_transcript(transcript) {}
    // Plays the commands; at the end waits for the program to end. Returns the first script
    // error (an ID not in the active dialog, a wait that never ends, ...).
    std::optional<ScriptError> Run(const std::vector<Command>& commands);

    // Plays one command on the active dialog and waits until the program has settled.
    std::optional<ScriptError> Execute(const Command& c);

    static constexpr sim::clock::Millis kDefaultWaitCloseMs = 300000;

private:
    Window* ActiveDialogOrNull(std::chrono::milliseconds bound);
    void Ignored(const std::string& what, const std::string& why);

    HeadlessBackend& m_backend;
    Transcript& m_transcript;
};

}  // namespace drovan::ui::headless
