#include "platform/ui/headless/script.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/ui/dialog_manager.h"
#include "platform/ui/text.h"

namespace drovan::ui::headless {

namespace {

using namespace std::chrono_literals;

struct Token {
    std::string value;
    bool quoted = false;
};

// Reads four hex digits at line[i] into unit and moves i past them.
bool HexUnit(const std::string& line, size_t& i, unsigned& unit) {
    if (i + 4 > line.size()) return false;
    unit = 0;
    for (size_t k = i; k < i + 4; ++k) {
        const char c = line[k];
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        unit = unit * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    i += 4;
    return true;
}

// Whether the line is UTF-8 as the platform's own strict conversion reads it.
bool IsUtf8(const std::string& line) {
    if (line.empty()) return true;
    if (line.size() > 0x7FFFFFFF) return false;
    SetLastError(ERROR_SUCCESS);
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(), static_cast<int>(line.size()), nullptr, 0);
    return n > 0 || GetLastError() != ERROR_NO_UNICODE_TRANSLATION;
}

// Splits a line into words and "quoted strings" (JSON escapes); `#` outside quotes starts
// a comment.
std::optional<std::string> Tokenize(const std::string& line, std::vector<Token>& out) {
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t;
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == 0) return "a NUL byte in a string: a NUL cannot be typed or selected";
                if (d != '\\') {
                    t.value += d;
                    continue;
                }
                if (i >= line.size()) return "unfinished escape in a string";
                char e = line[i++];
                switch (e) {
                case '"': t.value += '"'; break;
                case '\\': t.value += '\\'; break;
                case '/': t.value += '/'; break;
                case 'n': t.value += '\n'; break;
                case 'r': t.value += '\r'; break;
                case 't': t.value += '\t'; break;
                case 'u': {
                    // UTF-16 code units as JSON writes them: a character beyond U+FFFF is a
                    // surrogate pair of two escapes.
                    unsigned unit = 0;
                    if (!HexUnit(line, i, unit)) return "\\u needs four hex digits in a string";
                    Text units(1, static_cast<WCHAR>(unit));
                    if (unit >= 0xDC00 && unit <= 0xDFFF)
                        return "a lone low surrogate \\u" + line.substr(i - 4, 4) + " in a string";
                    if (unit >= 0xD800 && unit <= 0xDBFF) {
                        unsigned low = 0;
                        size_t j = i + 2;
                        if (line.compare(i, 2, "\\u") != 0 || !HexUnit(line, j, low) || low < 0xDC00 || low > 0xDFFF)
                            return "a lone high surrogate \\u" + line.substr(i - 4, 4) +
                                   " in a string (a low surrogate \\uDC00..\\uDFFF must follow)";
                        i = j;
                        units += static_cast<WCHAR>(low);
                    }
                    if (unit == 0) return "\\u0000 in a string: a NUL cannot be typed or selected";
                    t.value += text::ToUtf8(units);
                    break;
                }
                default: return std::string("unknown escape \\") + e + " in a string";
                }
            }
            if (!closed) return "a string is not closed";
            out.push_back(t);
        } else {
            Token t;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '#') t.value += line[i++];
            out.push_back(t);
        }
    }
    return std::nullopt;
}

bool ParseInt(const Token& t, long long& v) {
    if (t.quoted || t.value.empty() || std::isspace(static_cast<unsigned char>(t.value[0]))) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtoll(t.value.c_str(), &end, 0);
    return end && *end == 0 && errno != ERANGE;
}

// A wait longer than this is a mistake in the script, not a test: the driven clock would
// take minutes of real time to get there.
constexpr long long kMaxWaitMs = 600000;

std::optional<std::string> ParseWaitMs(const Token& t, sim::clock::Millis& ms) {
    long long v;
    if (!ParseInt(t, v) || v < 0) return "not a number of milliseconds: " + t.value;
    if (v > kMaxWaitMs)
        return "a wait of " + t.value + " ms is longer than the longest a script may wait, " + std::to_string(kMaxWaitMs) + " ms";
    ms = static_cast<sim::clock::Millis>(v);
    return std::nullopt;
}

bool ParseId(const Token& t, int& id) {
    if (t.value == "IDOK") return id = IDOK, true;
    if (t.value == "IDCANCEL") return id = IDCANCEL, true;
    long long v;
    if (!ParseInt(t, v) || v < -1 || v > 0xFFFF) return false;
    id = static_cast<int>(v);
    return true;
}

}  // namespace

std::variant<std::vector<Command>, ScriptError> ParseScript(std::istream& in) {
    std::vector<Command> commands;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // a byte-order mark
        if (!IsUtf8(line)) return ScriptError{number, "the line is not valid UTF-8"};
        std::vector<Token> t;
        if (auto err = Tokenize(line, t)) return ScriptError{number, *err};
        if (t.empty()) continue;
        Command c;
        c.line = number;
        const std::string& verb = t[0].value;
        auto fail = [&](const std::string& message) { return ScriptError{number, message}; };
        auto want = [&](size_t n, const char* usage) -> std::optional<ScriptError> {
            if (t.size() != n) return fail(std::string("usage: ") + usage);
            return std::nullopt;
        };
        if (verb == "click") {
            if (auto e = want(2, "click ID")) return *e;
            if (!ParseId(t[1], c.id)) return fail("not a control ID: " + t[1].value);
            c.kind = Command::Click;
        } else if (verb == "select") {
            if (auto e = want(3, "select ID \"TEXT\"")) return *e;
            if (!ParseId(t[1], c.id)) return fail("not a control ID: " + t[1].value);
            if (!t[2].quoted) return fail("the item text must be quoted: select ID \"TEXT\"");
            c.kind = Command::Select;
            c.text = t[2].value;
        } else if (verb == "select-index") {
            long long n;
            if (auto e = want(3, "select-index ID N")) return *e;
            if (!ParseId(t[1], c.id)) return fail("not a control ID: " + t[1].value);
            if (!ParseInt(t[2], n) || n < 0 || n > 0x7FFFFFFF) return fail("not an item index: " + t[2].value);
            c.kind = Command::SelectIndex;
            c.index = static_cast<int>(n);
        } else if (verb == "type") {
            if (auto e = want(3, "type ID \"TEXT\"")) return *e;
            if (!ParseId(t[1], c.id)) return fail("not a control ID: " + t[1].value);
            if (!t[2].quoted) return fail("the text must be quoted: type ID \"TEXT\"");
            c.kind = Command::Type;
            c.text = t[2].value;
        } else if (verb == "key") {
            if (auto e = want(2, "key escape|enter|tab|shift+tab")) return *e;
            if (t[1].value == "escape") c.kind = Command::KeyEscape;
            else if (t[1].value == "enter") c.kind = Command::KeyEnter;
            else if (t[1].value == "tab") c.kind = Command::KeyTab;
            else if (t[1].value == "shift+tab") c.kind = Command::KeyShiftTab;
            else return fail("unknown key: " + t[1].value + " (escape, enter, tab or shift+tab)");
        } else if (verb == "close") {
            if (auto e = want(1, "close")) return *e;
            c.kind = Command::Close;
        } else if (verb == "click-at") {
            long long x, y;
            if (auto e = want(3, "click-at X Y")) return *e;
            if (!ParseInt(t[1], x) || !ParseInt(t[2], y) || x < -32768 || x > 32767 || y < -32768 || y > 32767)
                return fail("click-at needs two pixel coordinates");
            c.kind = Command::ClickAt;
            c.x = static_cast<int>(x);
            c.y = static_cast<int>(y);
        } else if (verb == "answer") {
            if (auto e = want(2, "answer OK|CANCEL|YES|NO|ABORT|RETRY|IGNORE|TRYAGAIN|CONTINUE")) return *e;
            std::string name = t[1].value;
            for (auto& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            c.button = ButtonFromName(name);
            if (!c.button) return fail("unknown message-box button: " + t[1].value);
            c.kind = Command::Answer;
        } else if (verb == "wait") {
            if (auto e = want(2, "wait MS")) return *e;
            if (auto why = ParseWaitMs(t[1], c.ms)) return fail(*why);
            c.kind = Command::Wait;
        } else if (verb == "wait-close") {
            if (t.size() > 2) return fail("usage: wait-close [MS]");
            c.kind = Command::WaitClose;
            if (t.size() == 2) {
                if (auto why = ParseWaitMs(t[1], c.ms)) return fail(*why);
                c.hasMs = true;
            }
        } else if (verb == "dump") {
            if (auto e = want(1, "dump")) return *e;
            c.kind = Command::Dump;
        } else if (verb == "check") {
            long long state;
            if (auto e = want(3, "check ID 0|1|2")) return *e;
            if (!ParseId(t[1], c.id)) return fail("not a control ID: " + t[1].value);
            if (!ParseInt(t[2], state) || state < BST_UNCHECKED || state > BST_INDETERMINATE)
                return fail("not a check state (0, 1 or 2): " + t[2].value);
            c.kind = Command::Check;
            c.index = static_cast<int>(state);
        } else if (verb == "focus") {
            if (auto e = want(1, "focus")) return *e;
            c.kind = Command::Focus;
        } else {
            return fail("unknown command: " + verb);
        }
        commands.push_back(c);
    }
    return commands;
}

void ScriptRunner::Ignored(const std::string& what, const std::string& why) {
    m_transcript.Line("ignored " + what + ": " + why);
}

Window* ScriptRunner::ActiveDialogOrNull(std::chrono::milliseconds bound) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        m_backend.Settle(std::chrono::milliseconds(200));
        // A dialog is there for the user once it shows, after its WM_INITDIALOG: one that is
        // still being set up (a slow first spooler call, say, where the GUI thread's state
        // cannot be seen) is waited for, or the user would act on a half-made page.
        Window* d = ActiveDialog();
        bool late = std::chrono::steady_clock::now() >= deadline;
        if (d && (d->Visible() || late)) return d;
        if (m_backend.HasProgramEnded() || late) return nullptr;
        std::this_thread::sleep_for(1ms);
    }
}

std::optional<ScriptError> ScriptRunner::Run(const std::vector<Command>& commands) {
    for (const Command& c : commands) {
        if (auto e = Execute(c)) return e;
        if (auto e = m_backend.TakeError()) return e;
    }
    // The script is over: the program should end by itself now.
    auto deadline = std::chrono::steady_clock::now() + 10s;
    int lastLine = commands.empty() ? 0 : commands.back().line;
    while (!m_backend.HasProgramEnded()) {
        bool settled = m_backend.Settle(200ms);
        if (Window* d = ActiveDialog(); d && settled)
            return ScriptError{lastLine, "the script ended while dialog " + std::to_string(d->id) + " is still open"};
        if (std::chrono::steady_clock::now() >= deadline)
            return ScriptError{lastLine, "the script ended and the program did not"};
    }
    return m_backend.TakeError();
}

std::optional<ScriptError> ScriptRunner::Execute(const Command& c) {
    if (c.kind == Command::Answer) {
        m_backend.QueueAnswer(c.button, c.line);
        return std::nullopt;
    }
    if (c.kind == Command::Wait) {
        m_backend.Advance(c.ms);
        return std::nullopt;
    }
    Window* d = ActiveDialogOrNull(10s);
    if (!d) {
        return ScriptError{c.line, m_backend.HasProgramEnded() ? "the program has ended; no dialog is open"
                                                                 : "no dialog is open"};
    }
    auto control = [&](std::optional<ScriptError>& err) -> Window* {
        Window* w = d->Child(c.id);
        if (!w) err = ScriptError{c.line, "control " + std::to_string(c.id) + " is not in dialog " + std::to_string(d->id)};
        return w;
    };
    std::optional<ScriptError> err;
    const std::string sid = std::to_string(c.id);
    switch (c.kind) {
    case Command::Click: {
        Window* w = control(err);
        if (!w) return err;
        if (!w->Visible()) Ignored("click " + sid, "hidden");
        else if (!w->Enabled()) Ignored("click " + sid, "disabled");
        else if (w->kind != WindowKind::Button || w->ButtonType() == BS_GROUPBOX) Ignored("click " + sid, "not a button");
        else {
            RECT r = ClientRect(*w);
            LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
            m_backend.Post(w->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
            m_backend.Post(w->hwnd, WM_LBUTTONUP, 0, at);
        }
        break;
    }
    case Command::Select:
    case Command::SelectIndex: {
        Window* w = control(err);
        if (!w) return err;
        if (w->kind != WindowKind::ComboBox) return ScriptError{c.line, "control " + sid + " is not a combo box"};
        int index = c.index;
        if (c.kind == Command::Select) {
            Text wanted = text::FromUtf8(c.text);
            index = -1;
            for (size_t i = 0; i < w->items.size() && index < 0; ++i)
                if (w->items[i] == wanted) index = static_cast<int>(i);
            for (size_t i = 0; i < w->items.size() && index < 0; ++i)
                if (text::CompareNoCaseOrdinal(w->items[i], wanted) == 0) index = static_cast<int>(i);
            if (index < 0)
                return ScriptError{c.line, "combo box " + sid + " has no item " + Transcript::Quote(wanted)};
        } else if (index >= static_cast<int>(w->items.size())) {
            return ScriptError{c.line, "combo box " + sid + " has " + std::to_string(w->items.size()) +
                                           " items; there is no item " + std::to_string(index)};
        }
        if (!w->Visible()) Ignored("select " + sid, "hidden");
        else if (!w->Enabled()) Ignored("select " + sid, "disabled");
        else m_backend.Perform([w, index] {
            UserFocused(*w);  // the list is opened with a click on the box
            UserSelected(*w, index);
        });
        break;
    }
    case Command::Type: {
        Window* w = control(err);
        if (!w) return err;
        if (w->kind != WindowKind::Edit && w->kind != WindowKind::IpAddress)
            return ScriptError{c.line, "control " + sid + " is not an edit or address control"};
        Text value = text::FromUtf8(c.text);
        std::array<int, 4> fields;
        if (w->kind == WindowKind::IpAddress && !ParseAddress(value, fields))
            return ScriptError{c.line, "not an IPv4 address: " + Transcript::Quote(value)};
        if (!w->Visible()) Ignored("type " + sid, "hidden");
        else if (!w->Enabled()) Ignored("type " + sid, "disabled");
        else if (w->kind == WindowKind::Edit && (w->style & ES_READONLY)) Ignored("type " + sid, "read-only");
        else m_backend.Perform([w, value] {
            UserFocused(*w);  // typed into after a click into it
            UserTyped(*w, value);
        });
        break;
    }
    case Command::KeyEscape:
        if (const char* why = CancelIgnoredBecause(*d)) Ignored("key escape", why);
        else m_backend.Perform([d] { UserKeyEscape(*d); });
        break;
    case Command::KeyTab:
    case Command::KeyShiftTab: {
        bool forward = c.kind == Command::KeyTab;
        m_backend.Perform([d, forward] { UserKeyTab(*d, forward); });
        break;
    }
    case Command::KeyEnter: {
        LRESULT def = DefaultProc(*d, DM_GETDEFID, 0, 0);
        int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
        Window* b = d->Child(id);
        if (b && !b->Enabled()) Ignored("key enter", "default button " + std::to_string(id) + " disabled");
        else m_backend.Perform([d] { UserKeyEnter(*d); });
        break;
    }
    case Command::Close:
        if (const char* why = CloseIgnoredBecause(*d)) Ignored("close", why);
        else m_backend.Perform([d] { UserClose(*d); });
        break;
    case Command::ClickAt: {
        // The window under the point: a visible child that takes the mouse, else the dialog.
        Window* target = d;
        POINT local{c.x, c.y};
        for (auto& cp : d->children) {
            Window& w = *cp;
            if (!w.Visible()) continue;
            bool transparent = (w.kind == WindowKind::Button && w.ButtonType() == BS_GROUPBOX) ||
                               (w.kind == WindowKind::Static && !(w.style & SS_NOTIFY));
            if (transparent) continue;
            RECT r = ToPixels(*d, w.dlu);
            if (c.x >= r.left && c.x < r.right && c.y >= r.top && c.y < r.bottom) {
                target = &w;
                local = POINT{c.x - r.left, c.y - r.top};
                break;
            }
        }
        std::string what = "click-at " + std::to_string(c.x) + " " + std::to_string(c.y);
        if (!target->Enabled()) {
            Ignored(what, "control " + std::to_string(target->id) + " disabled");
            break;
        }
        LPARAM at = MAKELPARAM(local.x, local.y);
        m_backend.Post(target->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        m_backend.Post(target->hwnd, WM_LBUTTONUP, 0, at);
        break;
    }
    case Command::WaitClose: {
        HWND hwnd = d->hwnd;
        int id = d->id;
        sim::clock::Millis bound = c.hasMs ? c.ms : kDefaultWaitCloseMs;
        bool closed = m_backend.Advance(bound, [hwnd] {
            Window* w = FromHandle(hwnd);
            return !w || w->ended;
        });
        if (!closed)
            return ScriptError{c.line, "dialog " + std::to_string(id) + " did not close within " + std::to_string(bound) + " ms"};
        break;
    }
    case Command::Check: {
        // What the program's own CheckDlgButton does: no click, no notification, and the
        // control need not be shown.
        Window* w = control(err);
        if (!w) return err;
        if (w->kind != WindowKind::Button) return ScriptError{c.line, "control " + sid + " is not a button"};
        int state = c.index;
        m_backend.Perform([w, state] { Send(*w, BM_SETCHECK, static_cast<WPARAM>(state), 0); });
        break;
    }
    case Command::Dump:
        for (const auto& line : Transcript::Dump(*d)) m_transcript.Line(line);
        break;
    case Command::Focus: {
        Window* focus = FocusOf(*d);
        m_transcript.Line("focus " + std::to_string(focus ? focus->id : -1));
        break;
    }
    default:
        break;
    }
    m_backend.Settle(10s);
    return std::nullopt;
}

}  // namespace drovan::ui::headless
