#include "platform/ui/text.h"

#include <algorithm>

namespace drovan::ui::text {

WCHAR ToUpper(WCHAR c) {
    unsigned u = c;
    if (u >= 'a' && u <= 'z') return static_cast<WCHAR>(u - 32);
    if (u < 0x80) return c;
    if ((u >= 0xE0 && u <= 0xFE && u != 0xF7)) return static_cast<WCHAR>(u - 32);
    if (u == 0xFF) return static_cast<WCHAR>(0x178);
    if (u >= 0x100 && u <= 0x17F && u != 0x130 && u != 0x131 && u != 0x138 && u != 0x149 &&
        u != 0x17F) {
        // Latin Extended-A pairs: even upper, odd lower, except the block 0x139-0x148 and
        // 0x179-0x17E where odd is upper.
        bool oddUpper = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
        if (oddUpper ? (u % 2 == 0) : (u % 2 == 1)) return static_cast<WCHAR>(u - 1);
        return c;
    }
    if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return static_cast<WCHAR>(u - 32);
    if (u >= 0x430 && u <= 0x44F) return static_cast<WCHAR>(u - 32);
    if (u >= 0x450 && u <= 0x45F) return static_cast<WCHAR>(u - 80);
    if (u >= 0xFF41 && u <= 0xFF5A) return static_cast<WCHAR>(u - 32);  // full-width a-z
    return c;
}

WCHAR ToLower(WCHAR c) {
    unsigned u = c;
    if (u >= 'A' && u <= 'Z') return static_cast<WCHAR>(u + 32);
    if (u < 0x80) return c;
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<WCHAR>(u + 32);
    if (u == 0x178) return static_cast<WCHAR>(0xFF);
    if (u >= 0x100 && u <= 0x17F && u != 0x130 && u != 0x131 && u != 0x138 && u != 0x149 &&
        u != 0x17F) {
        bool oddUpper = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
        if (oddUpper ? (u % 2 == 1) : (u % 2 == 0)) return static_cast<WCHAR>(u + 1);
        return c;
    }
    if (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) return static_cast<WCHAR>(u + 32);
    if (u >= 0x410 && u <= 0x42F) return static_cast<WCHAR>(u + 32);
    if (u >= 0x400 && u <= 0x40F) return static_cast<WCHAR>(u + 80);
    if (u >= 0xFF21 && u <= 0xFF3A) return static_cast<WCHAR>(u + 32);
    return c;
}

int CompareNoCaseOrdinal(const Text& a, const Text& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned ca = ToLower(a[i]), cb = ToLower(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithNoCase(const Text& s, const Text& prefix) {
    if (prefix.size() > s.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (ToLower(s[i]) != ToLower(prefix[i])) return false;
    return true;
}

namespace {

// Primary weight of one character. Blanks and punctuation come first in the order Windows
// gives them, then the currency and arithmetic signs, then digits, then letters; other
// scripts follow by code point.
unsigned PrimaryWeight(WCHAR c) {
    static const char kSymbols[] = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
    unsigned u = ToLower(c);
    if (u < 0x80) {
        if (u >= '0' && u <= '9') return 0x1000 + (u - '0');
        if (u >= 'a' && u <= 'z') return 0x2000 + (u - 'a') * 4;
        for (unsigned i = 0; kSymbols[i]; ++i)
            if (static_cast<unsigned char>(kSymbols[i]) == u) return 0x100 + i;
        return 0x80 + u;  // control characters
    }
    // Latin-1 letters with diacritics sort with their base letter.
    static const char kLatin1Base[] = "aaaaaaaceeeeiiiidnooooo ouuuuyty";  // 0xE0..0xFF
    if (u >= 0xE0 && u <= 0xFF && u != 0xF7) {
        char base = kLatin1Base[u - 0xE0];
        if (base >= 'a' && base <= 'z') return 0x2000 + static_cast<unsigned>(base - 'a') * 4 + 1;
    }
    return 0x10000 + u;
}

bool IsIgnorable(WCHAR c) { return c == '-' || c == '\''; }

}  // namespace

int CollateNoCase(const Text& a, const Text& b) {
    // Primary pass without the ignorable characters.
    size_t i = 0, j = 0;
    for (;;) {
        while (i < a.size() && IsIgnorable(a[i])) ++i;
        while (j < b.size() && IsIgnorable(b[j])) ++j;
        if (i == a.size() || j == b.size()) break;
        unsigned wa = PrimaryWeight(a[i]), wb = PrimaryWeight(b[j]);
        if (wa != wb) return wa < wb ? -1 : 1;
        ++i;
        ++j;
    }
    bool aDone = i == a.size(), bDone = j == b.size();
    if (aDone != bDone) return aDone ? -1 : 1;
    // Equal but for case and the ignorable characters: the one without them first, then
    // the folded ordinal order, so that the order is total and stable.
    int c = CompareNoCaseOrdinal(a, b);
    if (c == 0) return 0;
    size_t ia = std::count_if(a.begin(), a.end(), IsIgnorable);
    size_t ib = std::count_if(b.begin(), b.end(), IsIgnorable);
    if (ia != ib) return ia < ib ? -1 : 1;
    return c;
}

namespace {

constexpr WCHAR kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

// A lone surrogate (text a control can hold) becomes U+FFFD: its three-byte form is not UTF-8,
// and a transcript must stay readable as UTF-8 by any reader.
std::string ToUtf8(const Text& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (IsHigh(cp) && i + 1 < s.size() && IsLow(s[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHigh(cp) || IsLow(cp)) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// Windows' rules for bad input, as the simulated machine's MultiByteToWideChar has them: each
// ill-formed sequence is one U+FFFD and takes its lead and the continuation bytes that still
// fitted it, so nothing after a bad or truncated sequence is lost. An overlong form, an encoded
// surrogate or a value above U+10FFFF shows at the second byte, which it takes with it.
Text FromUtf8(const std::string& s) {
    Text out;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    for (size_t i = 0; i < s.size();) {
        unsigned char c = byte(i);
        if (c < 0x80) {
            out += static_cast<WCHAR>(c);
            ++i;
            continue;
        }
        size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (len == 0) {  // a continuation byte, C0/C1 or F5..FF: never a start
            out += kReplacement;
            ++i;
            continue;
        }
        // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
        unsigned char lo = 0x80, hi = 0xBF;
        if (c == 0xE0) lo = 0xA0;
        else if (c == 0xED) hi = 0x9F;
        else if (c == 0xF0) lo = 0x90;
        else if (c == 0xF4) hi = 0x8F;
        char32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        size_t k = 1;
        bool bad = false;
        for (; k < len && i + k < s.size(); ++k) {
            unsigned char b = byte(i + k);
            if (b < 0x80 || b > 0xBF) break;  // not a continuation: left for the next round
            if (k == 1 && (b < lo || b > hi)) {  // out of range: taken with the lead
                bad = true;
                ++k;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        i += k;
        if (bad || k < len) {
            out += kReplacement;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (cp >> 10));
            out += static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<WCHAR>(cp);
        }
    }
    return out;
}

}  // namespace drovan::ui::text
