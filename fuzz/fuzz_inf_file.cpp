// The print UI's INF reader: any bytes are decoded and parsed without a fault, an error
// names a line of the file, and what parses is written back as an INF file (every key and
// field quoted, quotes doubled, `%` written `%%` outside [Strings]) that parses to the
// same sections, keys and fields. A UTF-16 file decodes to its own text.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "inf_file.h"
#include "printui_host.h"

namespace {

using printui::InfFile;

int PhysicalLines(std::u16string_view text) {
    int lines = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        if (text[i] == u'\r' || text[i] == u'\n') ++lines;
    }
    return lines;
}

std::u16string Quote(std::u16string_view value, bool escapePercent) {
    std::u16string out = u"\"";
    for (char16_t c : value) {
        if (c == u'"') out += u'"';
        if (c == u'%' && escapePercent) out += u'%';
        out += c;
    }
    return out + u"\"";
}

std::u16string Write(const InfFile& inf) {
    std::u16string out;
    for (const auto& section : inf.Sections()) {
        const bool strings = printui::EqualsNoCase(section.name, u"Strings");
        out += u"[" + section.name + u"]\r\n";
        for (const auto& line : section.lines) {
            if (line.key) out += Quote(*line.key, !strings) + u"=";
            for (size_t i = 0; i < line.fields.size(); ++i)
                out += (i ? u"," : u"") + Quote(line.fields[i], !strings);
            out += u"\r\n";
        }
    }
    return out;
}

void RequireSame(const InfFile& a, const InfFile& b) {
    const auto& sa = a.Sections();
    const auto& sb = b.Sections();
    fuzz::Require(sa.size() == sb.size(), "written back: section count");
    for (size_t s = 0; s < sa.size(); ++s) {
        fuzz::Require(sa[s].name == sb[s].name, "written back: section name", fuzz::Show(sa[s].name));
        fuzz::Require(sa[s].lines.size() == sb[s].lines.size(), "written back: line count", fuzz::Show(sa[s].name));
        for (size_t l = 0; l < sa[s].lines.size(); ++l) {
            const auto& la = sa[s].lines[l];
            const auto& lb = sb[s].lines[l];
            fuzz::Require(la.key == lb.key, "written back: key", fuzz::Show(la.key.value_or(u"(none)")));
            fuzz::Require(la.fields == lb.fields, "written back: fields", "line " + std::to_string(la.number));
        }
    }
}

void Check(std::u16string_view text) {
    printui::InfSyntaxError error;
    auto inf = InfFile::Parse(text, &error);
    const int lines = PhysicalLines(text);
    if (!inf) {
        fuzz::Require(error.line >= 1 && error.line <= lines, "error line outside the file",
                      std::to_string(error.line) + " of " + std::to_string(lines));
        fuzz::Require(!error.message.empty(), "error without a message");
        return;
    }
    for (const auto& section : inf->Sections()) {
        fuzz::Require(inf->Find(section.name) == &section, "sections of one name not merged", fuzz::Show(section.name));
        int last = 0;
        for (const auto& line : section.lines) {
            fuzz::Require(line.number > last && line.number <= lines, "line numbers out of order or range",
                          std::to_string(line.number));
            last = line.number;
            if (line.key)
                fuzz::Require(inf->FindKey(section.name, *line.key) != nullptr, "FindKey misses a key",
                              fuzz::Show(*line.key));
        }
    }
    const std::u16string written = Write(*inf);
    printui::InfSyntaxError again;
    auto reread = InfFile::Parse(written, &again);
    fuzz::Require(reread.has_value(), "written back: does not parse", again.message + " at line " +
                                                                          std::to_string(again.line) + ": " +
                                                                          fuzz::Show(written));
    RequireSame(*inf, *reread);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Western and Simplified Chinese machines read an ANSI file differently; a file with a
    // byte-order mark reads the same on both.
    const bool marked = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xEF && data[1] == 0xBB));
    for (UINT codePage : {1252u, 936u}) {
        std::u16string text;
        std::string error;
        if (!printui::DecodeInfText(bytes, codePage, &text, &error)) {
            fuzz::Require(!error.empty(), "undecodable without a message");
        } else {
            Check(text);
            // The same text as a UTF-16 file comes back unchanged.
            std::string utf16 = "\xFF\xFE";
            for (char16_t c : text) utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
            std::u16string back;
            fuzz::Require(printui::DecodeInfText(utf16, codePage, &back, &error) && back == text,
                          "UTF-16 text changed by decoding");
        }
        if (marked) break;
    }
    return 0;
}
