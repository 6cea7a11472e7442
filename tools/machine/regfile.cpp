#include "regfile.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/sim/regtree.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace tool::regfile {
namespace {

using sim::ToUtf8;

constexpr std::u16string_view kHeaderUnicode = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeaderAnsi = u"REGEDIT4";
// regedit wraps a hex list once its line has reached this column, and indents the lines
// that go on by two spaces: 25 bytes a line after the first.
constexpr size_t kHexWrapColumn = 77;
constexpr std::u16string_view kContinue = u"\\\r\n  ";

const char16_t* const kRootNames[] = {u"HKEY_LOCAL_MACHINE", u"HKEY_CURRENT_USER", u"HKEY_USERS",
                                      u"HKEY_CLASSES_ROOT"};

bool IsStringType(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string FromAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(n > 0 ? static_cast<size_t>(n) : 0, u'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

// The text's bytes in the machine's ANSI code page, when they bring back exactly the text.
bool ToAnsiExact(std::u16string_view text, std::string* out) {
    out->clear();
    if (text.empty()) return true;
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0) return false;
    out->resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out->data(), n, nullptr, nullptr);
    return FromAnsi(*out) == text;
}

std::u16string Utf16Of(std::string_view bytes) {
    std::u16string s(bytes.size() / 2, u'\0');
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

std::string BytesOf(std::u16string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// ---- Export ----------------------------------------------------------------------------

class Exporter {
public:
    Exporter(sim::Store& db, Format format) : m_db(db), m_format(format) {}

    bool Tree(int64_t key, const std::u16string& path) {
        if (path.find_first_of(u"\r\n", 0) != std::u16string::npos || path.find(u'\0') != std::u16string::npos)
            return Refuse("the key " + ToUtf8(path) + " has a line break in its name, which no registry file can carry");
        if (!Representable(path)) return Refuse("the key " + ToUtf8(path) + CodePageTrouble());
        m_text += u"\r\n[";
        m_text += path;
        m_text += u"]\r\n";
        for (const auto& v : sim::reg::Values(m_db, key))
            if (!Value(v, path)) return false;
        for (const auto& name : sim::reg::SubKeys(m_db, key))
            if (!Tree(sim::reg::FindChild(m_db, key, name), path + u"\\" + name)) return false;
        return true;
    }

    std::u16string& Text() { return m_text; }
    const std::string& Error() const { return m_error; }

private:
    bool Refuse(std::string why) {
        m_error = std::move(why);
        return false;
    }
    std::string CodePageTrouble() const {
        return " holds characters that code page " + std::to_string(GetACP()) +
               " cannot carry; export it in the Unicode format (without --regedit4)";
    }
    bool Representable(std::u16string_view text) const {
        std::string ansi;
        return m_format == Format::Unicode || ToAnsiExact(text, &ansi);
    }

    static void Escape(std::u16string_view text, std::u16string* out) {
        for (char16_t c : text) {
            switch (c) {
                case u'\\': *out += u"\\\\"; break;
                case u'"': *out += u"\\\""; break;
                case u'\n': *out += u"\\n"; break;
                case u'\r': *out += u"\\r"; break;
                default: *out += c;
            }
        }
    }

    // A REG_SZ goes in quotes when the quotes bring back every byte: whole characters, one
    // terminator at the end and none before it, no line breaks (regedit reads no escapes
    // for them).
    bool Quotable(const sim::reg::Value& v) const {
        if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2) return false;
        std::u16string text = Utf16Of(v.data);
        if (text.back() != 0) return false;
        text.pop_back();
        return text.find_first_of(std::u16string_view(u"\0\r\n", 3)) == std::u16string::npos &&
               Representable(text);
    }

    // "prefix" and the bytes as a comma-separated hex list, wrapped as regedit wraps it.
    static void Hex(std::u16string* line, std::u16string_view prefix, std::string_view bytes) {
        *line += prefix;
        size_t column = line->size();
        char digits[3];
        for (size_t i = 0; i < bytes.size(); ++i) {
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
            *line += static_cast<char16_t>(digits[0]);
            *line += static_cast<char16_t>(digits[1]);
            if (i + 1 == bytes.size()) break;
            *line += u',';
            column += 3;
            if (column >= kHexWrapColumn) {
                *line += kContinue;
                column = 2;
            }
        }
    }

    bool Value(const sim::reg::Value& v, const std::u16string& keyPath) {
        std::string where = (v.name.empty() ? std::string("the default value") : "the value \"" + ToUtf8(v.name) + "\"") +
                            " of " + ToUtf8(keyPath);
        std::u16string line;
        if (v.name.empty()) {
            line = u"@=";
        } else {
            if (v.name.find(u'\0') != std::u16string::npos)
                return Refuse(where + " has a NUL character in its name, which no registry file can carry");
            if (!Representable(v.name)) return Refuse(where + CodePageTrouble());
            line = u"\"";
            Escape(v.name, &line);
            line += u"\"=";
        }
        if (Quotable(v)) {
            line += u'"';
            std::u16string text = Utf16Of(v.data);
            text.pop_back();
            Escape(text, &line);
            line += u'"';
        } else if (v.type == REG_DWORD && v.data.size() == 4) {
            uint32_t d;
            std::memcpy(&d, v.data.data(), 4);
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", d);
            line += sim::ToUtf16(buf);
        } else {
            char prefix[24];
            if (v.type == REG_BINARY) std::snprintf(prefix, sizeof prefix, "hex:");
            else std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
            std::string bytes = v.data;
            // In an ANSI file the text of a string type is in the code page, as regedit
            // writes (and reads) it.
            if (m_format == Format::Ansi && IsStringType(v.type) &&
                (v.data.size() % 2 || !ToAnsiExact(Utf16Of(v.data), &bytes)))
                return Refuse(where + (v.data.size() % 2 ? " is not whole UTF-16 characters, which the REGEDIT4 "
                                                            "format cannot carry; export it in the Unicode format "
                                                            "(without --regedit4)"
                                                          : CodePageTrouble()));
            Hex(&line, sim::ToUtf16(prefix), bytes);
        }
        line += u"\r\n";
        m_text += line;
        return true;
    }

    sim::Store& m_db;
    Format m_format;
    std::u16string m_text;
    std::string m_error;
};

// ---- Parse -----------------------------------------------------------------------------

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

// Nothing but blanks, or a comment, is left.
bool AtEnd(std::u16string_view s) {
    s = TrimLeft(s);
    return s.empty() || s.front() == u';';
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Up to max hex digits at the start of s; how many were read (0: none).
size_t ReadHex(std::u16string_view s, size_t max, uint32_t* value) {
    size_t n = 0;
    *value = 0;
    while (n < s.size() && HexDigit(s[n]) >= 0) {
        if (++n > max) return n;
        *value = *value * 16 + static_cast<uint32_t>(HexDigit(s[n - 1]));
    }
    return n;
}

std::string Show(std::u16string_view s) {
    std::u16string_view word = s.substr(0, std::min<size_t>(s.size(), 20));
    return "'" + ToUtf8(word) + (s.size() > word.size() ? "...'" : "'");
}

class Parser {
public:
    Parser(std::u16string text, bool unicode) : m_text(std::move(text)), m_unicode(unicode) {
        size_t start = 0;
        for (;;) {
            size_t end = m_text.find(u'\n', start);
            std::u16string_view line(m_text.data() + start,
                                     (end == std::u16string::npos ? m_text.size() : end) - start);
            if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
            m_lines.push_back(line);
            if (end == std::u16string::npos) break;
            start = end + 1;
        }
    }

    bool Run(ParsedFile* out, std::string* error) {
        m_out = out;
        std::u16string_view header = TrimLeft(m_lines[0]);
        while (!header.empty() && IsBlank(header.back())) header.remove_suffix(1);
        m_index = 0;
        if (header != kHeaderUnicode && header != kHeaderAnsi)
            return Fail(error, "not a registry file: the first line must be \"Windows Registry Editor Version "
                               "5.00\" or \"REGEDIT4\"");
        for (m_index = 1; m_index < m_lines.size(); ++m_index) {
            std::u16string_view s = TrimLeft(m_lines[m_index]);
            bool ok = true;
            if (s.empty() || s.front() == u';') continue;
            if (s.front() == u'[') ok = KeyLine(s.substr(1));
            else if (s.front() == u'@') ok = ValueLine(u"", s.substr(1));
            else if (s.front() == u'"') ok = QuotedValueLine(s.substr(1));
            else ok = Problem("expected a key ([HKEY_...]), a value (\"name\"=... or @=...) or a comment (;), not " + Show(s));
            if (!ok) return Fail(error, m_problem);
        }
        return true;
    }

private:
    bool Fail(std::string* error, const std::string& why) const {
        *error = "line " + std::to_string(m_index + 1) + ": " + why;
        return false;
    }
    bool Problem(std::string why) {
        m_problem = std::move(why);
        return false;
    }

    bool KeyLine(std::u16string_view s) {
        size_t close = s.rfind(u']');
        if (close == std::u16string_view::npos) return Problem("the key name has no closing ]");
        if (!AtEnd(s.substr(close + 1))) return Problem("unexpected text after the key's ]: " + Show(s.substr(close + 1)));
        std::u16string_view inner = s.substr(0, close);
        bool remove = !inner.empty() && inner.front() == u'-';
        if (remove) inner.remove_prefix(1);
        size_t cut = inner.find(u'\\');
        std::u16string_view rootName = inner.substr(0, cut);
        bool known = false;
        for (const char16_t* r : kRootNames) known = known || sim::EqualsNoCase(rootName, r);
        if (!known)
            return Problem("the key " + Show(inner) + " does not start with a root key of this machine: "
                           "HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS or HKEY_CLASSES_ROOT");
        auto rooted = sim::reg::ParseRootedPath(inner);
        auto parts = rooted ? sim::reg::SplitPath(rooted->second) : std::nullopt;
        if (!parts) return Problem("the key path " + Show(inner) + " has an empty or over-long part");
        std::u16string_view rest = cut == std::u16string_view::npos ? u"" : inner.substr(cut + 1);
        while (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
        if (remove && rest.empty()) return Problem("a root key cannot be deleted");
        m_out->keys.push_back({rooted->first, std::move(*parts)});
        size_t key = m_out->keys.size() - 1;
        m_out->changes.push_back({remove ? ParsedFile::Change::kDeleteKey : ParsedFile::Change::kCreateKey, key});
        m_key = remove ? kNoKey : key;
        return true;
    }

    // s: just after the opening quote. *text the unescaped string, *rest what follows the
    // closing quote.
    bool Quoted(std::u16string_view s, std::u16string* text, std::u16string_view* rest) {
        for (size_t i = 0; i < s.size(); ++i) {
            char16_t c = s[i];
            if (c == u'"') {
                *rest = s.substr(i + 1);
                return true;
            }
            if (c != u'\\') {
                *text += c;
                continue;
            }
            if (++i == s.size()) break;
            switch (s[i]) {
                case u'\\': *text += u'\\'; break;
                case u'"': *text += u'"'; break;
                case u'n': *text += u'\n'; break;
                case u'r': *text += u'\r'; break;
                default:
                    return Problem("unknown escape \\" + ToUtf8(s.substr(i, 1)) + " (a string knows \\\\, \\\", \\n and \\r)");
            }
        }
        return Problem("the string has no closing quote");
    }

    bool QuotedValueLine(std::u16string_view s) {
        std::u16string name;
        std::u16string_view rest;
        if (!Quoted(s, &name, &rest)) return false;
        return ValueLine(std::move(name), rest);
    }

    bool ValueLine(std::u16string name, std::u16string_view s) {
        if (m_key == kNoKey) return Problem("a value before any key: a [HKEY_...] line must come first");
        s = TrimLeft(s);
        if (s.empty() || s.front() != u'=') return Problem("expected = after the value's name");
        s = TrimLeft(s.substr(1));
        ParsedFile::Change change{ParsedFile::Change::kSetValue, m_key, std::move(name)};
        if (!s.empty() && s.front() == u'-' && AtEnd(s.substr(1))) {
            change.kind = ParsedFile::Change::kDeleteValue;
        } else if (!s.empty() && s.front() == u'"') {
            std::u16string text;
            std::u16string_view rest;
            if (!Quoted(s.substr(1), &text, &rest)) return false;
            if (!AtEnd(rest)) return Problem("unexpected text after the string: " + Show(TrimLeft(rest)));
            text.push_back(0);
            change.type = REG_SZ;
            change.data = BytesOf(text);
        } else if (s.substr(0, 6) == u"dword:") {
            uint32_t d = 0;
            size_t n = ReadHex(TrimLeft(s.substr(6)), 8, &d);
            if (n == 0 || n > 8 || !AtEnd(TrimLeft(s.substr(6)).substr(n)))
                return Problem("dword: takes 1 to 8 hex digits, not " + Show(TrimLeft(s.substr(6))));
            change.type = REG_DWORD;
            change.data.assign(reinterpret_cast<const char*>(&d), 4);
        } else if (s.substr(0, 4) == u"hex:") {
            change.type = REG_BINARY;
            if (!HexList(s.substr(4), &change.data)) return false;
        } else if (s.substr(0, 4) == u"hex(") {
            uint32_t type = 0;
            size_t n = ReadHex(s.substr(4), 8, &type);
            if (n == 0 || n > 8 || s.substr(4 + n, 2) != u"):")
                return Problem("hex(N): takes a type of 1 to 8 hex digits, as in hex(2): or hex(b):");
            change.type = type;
            if (!HexList(s.substr(4 + n + 2), &change.data)) return false;
            // An ANSI file lists a string type's text in its code page.
            if (!m_unicode && IsStringType(type)) change.data = BytesOf(FromAnsi(change.data));
        } else {
            return Problem("unknown data: expected \"text\", dword:, hex:, hex(N): or - (delete), not " + Show(s));
        }
        m_out->changes.push_back(std::move(change));
        return true;
    }

    // Comma-separated hex bytes, going on over the next lines after a backslash.
    bool HexList(std::u16string_view s, std::string* out) {
        for (;;) {
            s = TrimLeft(s);
            if (s.empty() || s.front() == u';') return true;
            if (s.front() == u'\\') {
                if (!AtEnd(s.substr(1))) return Problem("a backslash in hex data must end its line");
                // The list goes on with the next line that is not a comment; a blank line or
                // the end of the file ends it.
                do {
                    if (m_index + 1 >= m_lines.size()) return true;
                    s = TrimLeft(m_lines[++m_index]);
                } while (!s.empty() && s.front() == u';');
                if (s.empty()) return true;
                continue;
            }
            uint32_t byte = 0;
            size_t n = ReadHex(s, 2, &byte);
            if (n == 0 || n > 2) return Problem(Show(s.substr(0, n == 0 ? 1 : n)) + " is not a hex byte");
            out->push_back(static_cast<char>(byte));
            s = TrimLeft(s.substr(n));
            if (s.empty() || s.front() == u';' || s.front() == u'\\') continue;
            if (s.front() != u',') return Problem("expected a comma between hex bytes, not " + Show(s));
            s.remove_prefix(1);
        }
    }

    static constexpr size_t kNoKey = static_cast<size_t>(-1);
    std::u16string m_text;
    bool m_unicode;
    std::vector<std::u16string_view> m_lines;
    size_t m_index = 0;
    size_t m_key = kNoKey;
    ParsedFile* m_out = nullptr;
    std::string m_problem;
};

}  // namespace

bool Export(sim::Store& db, int64_t key, Format format, std::string* file, std::string* error) {
    Exporter exporter(db, format);
    std::u16string& text = exporter.Text();
    text = format == Format::Unicode ? kHeaderUnicode : kHeaderAnsi;
    text += u"\r\n";
    if (!exporter.Tree(key, sim::reg::KeyPath(db, key))) {
        *error = exporter.Error();
        return false;
    }
    text += u"\r\n";
    if (format == Format::Unicode) {
        *file = "\xFF\xFE" + BytesOf(text);
    } else if (!ToAnsiExact(text, file)) {
        *error = "the file cannot be written in code page " + std::to_string(GetACP());
        return false;
    }
    return true;
}

bool Parse(std::string_view file, ParsedFile* out, std::string* error) {
    *out = ParsedFile{};
    auto starts = [&](const char* bom) { return file.substr(0, std::strlen(bom)) == bom; };
    std::u16string text;
    bool unicode = false;
    if (starts("\xFF\xFE")) {
        if (file.size() % 2) {
            *error = "the file ends in the middle of a UTF-16 character";
            return false;
        }
        text = Utf16Of(file.substr(2));
        unicode = true;
    } else if (starts("\xFE\xFF") || starts("\xEF\xBB\xBF")) {
        *error = std::string("the file is in ") + (starts("\xFE\xFF") ? "UTF-16 big-endian" : "UTF-8") +
                 "; a registry file is UTF-16LE with a byte-order mark, or ANSI";
        return false;
    } else {
        text = FromAnsi(file);
    }
    if (text.empty()) {
        *error = "line 1: the file is empty";
        return false;
    }
    return Parser(std::move(text), unicode).Run(out, error);
}

Applied Apply(sim::Store& db, const ParsedFile& file) {
    Applied applied;
    std::vector<int64_t> ids(file.keys.size(), 0);
    // The key ids of parents met so far, by root and folded path: a file lists keys beside
    // their siblings, and each would otherwise walk its whole path again.
    std::unordered_map<std::u16string, int64_t> parents;
    auto create = [&](const ParsedFile::Key& k) {
        if (k.path.empty()) return k.root;
        std::u16string parentPath = sim::ToUtf16(std::to_string(k.root));
        for (size_t i = 0; i + 1 < k.path.size(); ++i) parentPath += u"\\" + sim::Fold(k.path[i]);
        auto it = parents.find(parentPath);
        int64_t parent = it != parents.end()
                             ? it->second
                             : sim::reg::CreatePath(db, k.root, {k.path.begin(), k.path.end() - 1}, nullptr);
        parents.emplace(parentPath, parent);
        bool created = false;
        int64_t id = sim::reg::CreatePath(db, parent, {k.path.back()}, &created);
        if (created) ++applied.keysCreated;
        return id;
    };
    for (const auto& c : file.changes) {
        const ParsedFile::Key& k = file.keys[c.key];
        switch (c.kind) {
            case ParsedFile::Change::kCreateKey: ids[c.key] = create(k); break;
            case ParsedFile::Change::kDeleteKey:
                if (int64_t id = sim::reg::FindPath(db, k.root, k.path)) {
                    sim::reg::DeleteTree(db, id);
                    parents.clear();
                    ++applied.keysDeleted;
                }
                break;
            case ParsedFile::Change::kSetValue:
                sim::reg::SetValue(db, ids[c.key], c.name, c.type, c.data);
                ++applied.valuesSet;
                break;
            case ParsedFile::Change::kDeleteValue:
                if (sim::reg::DeleteValue(db, ids[c.key], c.name)) ++applied.valuesDeleted;
                break;
        }
    }
    return applied;
}

}  // namespace tool::regfile
