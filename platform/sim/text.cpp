#include "text.h"

#include <clocale>
#include <cstdio>
#include <cwctype>
#include <locale.h>

namespace sim {

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

constexpr char32_t kBadSequence = 0xFFFFFFFF;

// Decodes the sequence that starts at text[i] and moves i past the bytes it takes. A bad
// sequence takes its lead byte and the continuation bytes that still fitted it, so that
// whatever follows (a new lead byte, ASCII, the terminator) is decoded on its own; an
// overlong form, an encoded surrogate or a value above U+10FFFF shows at the second byte,
// which it takes with it.
char32_t DecodeSequence(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    // C0 and C1 could only start overlong forms, F5..FF values above U+10FFFF.
    const int trail = (lead >= 0xC2 && lead <= 0xDF) ? 1 : (lead >= 0xE0 && lead <= 0xEF) ? 2
                    : (lead >= 0xF0 && lead <= 0xF4) ? 3 : 0;
    if (trail == 0) return kBadSequence;
    char32_t c = lead & (0x3F >> trail);
    for (int k = 0; k < trail; ++k) {
        if (i >= text.size()) return kBadSequence;
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return kBadSequence;
        c = (c << 6) | (b & 0x3F);
        ++i;
        if (k == 0) {
            // c holds the lead's bits and the second byte's: enough to see the range.
            const bool bad = trail == 2 ? (c < 0x20 || (c >= 0x360 && c < 0x380))  // < U+0800, D800..DFFF
                           : trail == 3 ? (c < 0x10 || c >= 0x110)                 // < U+10000, > U+10FFFF
                                        : false;
            if (bad) return kBadSequence;
        }
    }
    return c;
}

}  // namespace

bool ToUtf16(std::string_view text, std::u16string& out) {
    out.clear();
    out.reserve(text.size());
    bool clean = true;
    for (size_t i = 0; i < text.size();) {
        char32_t c = DecodeSequence(text, i);
        if (c == kBadSequence) {
            out += u'\uFFFD';
            clean = false;
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return clean;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    ToUtf16(text, out);
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();)
        if (DecodeSequence(text, i) == kBadSequence) return false;
    return true;
}

namespace {
locale_t Utf8Locale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return loc;
}
}  // namespace

char16_t FoldChar(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c < 0xE000) return c;
    wint_t up = towupper_l(static_cast<wint_t>(c), Utf8Locale());
    return up < 0x10000 ? static_cast<char16_t>(up) : c;
}

std::u16string Fold(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) c = FoldChar(c);
    return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

}  // namespace sim
