// The replay script parser: any text is parsed without a fault, an error names a line of
// the script, and the commands that parse, written back one to a line (texts quoted with
// JSON escapes), parse to the same commands.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "platform/ui/backend.h"
#include "platform/ui/headless/script.h"

namespace {

using drovan::ui::headless::Command;

const char* const kButtons[] = {"OK", "CANCEL", "YES", "NO", "ABORT", "RETRY", "IGNORE", "TRYAGAIN", "CONTINUE"};

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Write(const Command& c) {
    const std::string id = std::to_string(c.id);
    switch (c.kind) {
    case Command::Click: return "click " + id;
    case Command::Select: return "select " + id + " " + Quote(c.text);
    case Command::SelectIndex: return "select-index " + id + " " + std::to_string(c.index);
    case Command::Type: return "type " + id + " " + Quote(c.text);
    case Command::KeyEscape: return "key escape";
    case Command::KeyEnter: return "key enter";
    case Command::KeyTab: return "key tab";
    case Command::KeyShiftTab: return "key shift+tab";
    case Command::Close: return "close";
    case Command::ClickAt: return "click-at " + std::to_string(c.x) + " " + std::to_string(c.y);
    case Command::Answer:
        for (const char* name : kButtons)
            if (drovan::ui::ButtonFromName(name) == c.button) return std::string("answer ") + name;
        fuzz::Fail("answer with a button that has no name", std::to_string(c.button));
    case Command::Wait: return "wait " + std::to_string(c.ms);
    case Command::WaitClose: return c.hasMs ? "wait-close " + std::to_string(c.ms) : "wait-close";
    case Command::Dump: return "dump";
    case Command::Focus: return "focus";
    case Command::Check: return "check " + id + " " + std::to_string(c.index);
    }
    fuzz::Fail("a command of no known kind", std::to_string(static_cast<int>(c.kind)));
}

bool Same(const Command& a, const Command& b) {
    if (a.kind != b.kind || a.text != b.text || a.ms != b.ms || a.hasMs != b.hasMs || a.button != b.button) return false;
    if (a.kind == Command::ClickAt) return a.x == b.x && a.y == b.y;
    if (a.kind == Command::SelectIndex || a.kind == Command::Check) return a.id == b.id && a.index == b.index;
    return a.id == b.id;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (char c : script) lines += c == '\n';

    std::istringstream in(script);
    auto parsed = drovan::ui::headless::ParseScript(in);
    if (auto* e = std::get_if<drovan::ui::headless::ScriptError>(&parsed)) {
        fuzz::Require(e->line >= 1 && e->line <= lines, "error line outside the script", std::to_string(e->line));
        fuzz::Require(!e->message.empty(), "error without a message");
        return 0;
    }
    const auto& commands = std::get<std::vector<Command>>(parsed);
    std::string written;
    int last = 0;
    for (const auto& c : commands) {
        fuzz::Require(c.line > last && c.line <= lines, "command line numbers out of order", std::to_string(c.line));
        last = c.line;
        written += Write(c) + "\n";
    }
    std::istringstream again(written);
    auto reparsed = drovan::ui::headless::ParseScript(again);
    if (auto* e = std::get_if<drovan::ui::headless::ScriptError>(&reparsed))
        fuzz::Fail("written back: refused", e->message + " at line " + std::to_string(e->line) + ": " + written);
    const auto& back = std::get<std::vector<Command>>(reparsed);
    fuzz::Require(back.size() == commands.size(), "written back: command count");
    for (size_t i = 0; i < back.size(); ++i)
        fuzz::Require(Same(commands[i], back[i]), "written back: a different command", Write(commands[i]));
    return 0;
}
