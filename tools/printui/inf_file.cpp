#include "inf_file.h"

#include <unordered_map>

#include "platform/win32.h"
#include "printui_host.h"

namespace printui {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\f' || c == u'\v'; }

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

// A line as written, before strings are known: the raw key and field texts.
struct RawLine {
    int number;
    bool hasKey = false;
    std::u16string key;
    std::vector<std::u16string> fields;
};

struct RawSection {
    std::u16string name;
    std::vector<RawLine> lines;
};

// Splits a logical line at the first `=` and at commas, outside quotes.
RawLine SplitEntry(std::u16string_view line, int number) {
    RawLine out{number};
    std::u16string current;
    bool quoted = false;
    for (char16_t c : line) {
        if (c == u'"') quoted = !quoted;  // a doubled quote toggles twice: still inside
        if (!quoted && c == u'=' && !out.hasKey && out.fields.empty()) {
            out.hasKey = true;
            out.key = std::u16string(Trim(current));
            current.clear();
            continue;
        }
        if (!quoted && c == u',') {
            out.fields.emplace_back(Trim(current));
            current.clear();
            continue;
        }
        current += c;
    }
    out.fields.emplace_back(Trim(current));
    if (out.fields.size() == 1 && out.fields[0].empty()) out.fields.clear();  // "key ="
    return out;
}

using Strings = std::unordered_map<std::u16string, std::u16string>;

// Removes quotes from a raw text (`""` inside quotes is a quote) and, unless the text is
// a [Strings] value, replaces %name% from strings. Unknown names stay as written, as
// Setup leaves them (numeric ones are directory ids).
std::u16string Evaluate(std::u16string_view raw, const Strings* strings) {
    std::u16string out;
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        char16_t c = raw[i];
        if (c == u'"') {
            if (quoted && i + 1 < raw.size() && raw[i + 1] == u'"') {
                out += u'"';
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (c == u'%' && strings) {
            size_t end = raw.find(u'%', i + 1);
            if (end == std::u16string_view::npos) {
                out += c;
                continue;
            }
            std::u16string_view name = raw.substr(i + 1, end - i - 1);
            if (name.empty()) {
                out += u'%';
            } else if (auto it = strings->find(Fold(name)); it != strings->end()) {
                out += it->second;
            } else {
                out.append(raw.substr(i, end - i + 1));
            }
            i = end;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace

bool DecodeInfText(std::string_view bytes, UINT ansiCodePage, std::u16string* text,
                   std::string* error) {
    text->clear();
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            *error = "the file's UTF-16 text has an odd number of bytes";
            return false;
        }
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text->push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8));
        return true;
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF) {
        *error = "the file is big-endian UTF-16, which Setup does not read";
        return false;
    }
    UINT codePage = ansiCodePage;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        codePage = CP_UTF8;
    }
    if (bytes.empty()) return true;
    if (bytes.size() > 0x7FFFFFFF) {
        *error = "the file is too large";
        return false;
    }
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) {
        *error = "the file's text is not valid in code page " + std::to_string(codePage);
        return false;
    }
    text->resize(static_cast<size_t>(n));
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<WCHAR*>(text->data()), n);
    return true;
}

std::optional<InfFile> InfFile::Parse(std::u16string_view text, InfSyntaxError* error) {
    std::vector<RawSection> raw;
    std::unordered_map<std::u16string, size_t> index;  // folded name -> raw section
    RawSection* current = nullptr;

    size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        // One logical line: physical lines joined by a trailing backslash.
        std::u16string logical;
        int first = number + 1;
        bool more = true;
        while (more && pos <= text.size()) {
            ++number;
            size_t end = text.find_first_of(u"\r\n", pos);
            if (end == std::u16string_view::npos) end = text.size();
            std::u16string_view physical = text.substr(pos, end - pos);
            pos = end;
            if (pos < text.size() && text[pos] == u'\r') ++pos;
            if (pos < text.size() && text[pos] == u'\n') ++pos;
            // Cut the comment: `;` outside quotes.
            bool quoted = false;
            size_t cut = physical.size();
            for (size_t i = 0; i < physical.size(); ++i) {
                if (physical[i] == u'"') quoted = !quoted;
                if (physical[i] == 0) {
                    *error = {number, "the line holds a NUL character"};
                    return std::nullopt;
                }
                if (!quoted && physical[i] == u';') {
                    cut = i;
                    break;
                }
            }
            if (quoted) {
                *error = {number, "a quoted text is not closed on its line"};
                return std::nullopt;
            }
            std::u16string_view kept = physical.substr(0, cut);
            while (!kept.empty() && IsSpace(kept.back())) kept.remove_suffix(1);
            more = !kept.empty() && kept.back() == u'\\';
            if (more) kept.remove_suffix(1);
            logical.append(kept);
            if (more && pos >= text.size()) break;  // a continuation at the end: done
        }
        std::u16string_view line = Trim(logical);
        if (line.empty()) continue;
        if (line.front() == u'[') {
            size_t close = line.find(u']');
            if (close == std::u16string_view::npos) {
                *error = {first, "a section name has no closing ']'"};
                return std::nullopt;
            }
            if (!Trim(line.substr(close + 1)).empty()) {
                *error = {first, "text follows the section name's ']'"};
                return std::nullopt;
            }
            std::u16string name(Trim(line.substr(1, close - 1)));
            std::u16string folded = Fold(name);
            auto it = index.find(folded);
            if (it == index.end()) {
                index.emplace(folded, raw.size());
                raw.push_back({name, {}});
                current = &raw.back();
            } else {
                current = &raw[it->second];
            }
            continue;
        }
        if (!current) {
            *error = {first, "the line stands before the first section"};
            return std::nullopt;
        }
        current->lines.push_back(SplitEntry(line, first));
    }

    Strings strings;
    if (auto it = index.find(u"STRINGS"); it != index.end()) {
        for (const auto& l : raw[it->second].lines)
            if (l.hasKey)
                strings[Fold(Evaluate(l.key, nullptr))] =
                    l.fields.empty() ? std::u16string() : Evaluate(l.fields[0], nullptr);
    }

    InfFile inf;
    for (const auto& section : raw) {
        bool isStrings = EqualsNoCase(section.name, u"Strings");
        InfSection out{section.name, {}};
        for (const auto& l : section.lines) {
            InfLine line;
            line.number = l.number;
            const Strings* subst = isStrings ? nullptr : &strings;
            if (l.hasKey) line.key = Evaluate(l.key, subst);
            for (const auto& f : l.fields) line.fields.push_back(Evaluate(f, subst));
            out.lines.push_back(std::move(line));
        }
        // Sections and keys are looked up by name for every file a package names: found
        // through an index, a list of a hundred thousand files costs no more per file.
        std::unordered_map<std::u16string, size_t> keys;
        for (size_t i = 0; i < out.lines.size(); ++i)
            if (out.lines[i].key) keys.emplace(Fold(*out.lines[i].key), i);
        inf.m_sectionIndex.emplace(Fold(out.name), inf.m_sections.size());
        inf.m_keyIndex.push_back(std::move(keys));
        inf.m_sections.push_back(std::move(out));
    }
    return inf;
}

const InfSection* InfFile::Find(std::u16string_view section) const {
    auto it = m_sectionIndex.find(Fold(section));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const InfLine* InfFile::FindKey(std::u16string_view section, std::u16string_view key) const {
    auto s = m_sectionIndex.find(Fold(section));
    if (s == m_sectionIndex.end()) return nullptr;
    const auto& keys = m_keyIndex[s->second];
    auto it = keys.find(Fold(key));
    return it == keys.end() ? nullptr : &m_sections[s->second].lines[it->second];
}

}  // namespace printui
