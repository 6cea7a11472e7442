// An INF file as Setup reads it: sections of lines, each line an optional key and a list
// of fields. Section names and keys compare case-insensitively; `;` starts a comment
// outside quotes; a trailing `\` joins the next line; `%name%` is replaced from the
// [Strings] section (`%%` is a percent sign) and `""` inside quotes is a quote.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win32.h"

namespace printui {

struct InfLine {
    int number = 0;                   // the first physical line it came from
    std::optional<std::u16string> key;
    std::vector<std::u16string> fields;
    // The field, or an empty text when the line has fewer fields.
    std::u16string Field(size_t i) const { return i < fields.size() ? fields[i] : std::u16string(); }
};

struct InfSection {
    std::u16string name;
    std::vector<InfLine> lines;
};

struct InfSyntaxError {
    int line = 0;
    std::string message;
};

// The text of an INF file's bytes: UTF-16LE with its byte-order mark, UTF-8 with its
// mark, else ANSI in the given code page. False with a message for text that is neither.
bool DecodeInfText(std::string_view bytes, UINT ansiCodePage, std::u16string* text,
                   std::string* error);

class InfFile {
public:
    // Parses decoded text. A syntax error gives nullopt and the line it was found on.
    static std::optional<InfFile> Parse(std::u16string_view text, InfSyntaxError* error);

    // Sections of the same name are merged, as Setup merges them.
    const InfSection* Find(std::u16string_view section) const;
    // The first line of section whose key is key, or null.
    const InfLine* FindKey(std::u16string_view section, std::u16string_view key) const;
    const std::vector<InfSection>& Sections() const { return m_sections; }

private:
    std::vector<InfSection> m_sections;
    std::unordered_map<std::u16string, size_t> m_sectionIndex;         // folded name -> section
    std::vector<std::unordered_map<std::u16string, size_t>> m_keyIndex;  // per section: folded key -> first line
};

}  // namespace printui
