// What the fuzz targets share: a broken invariant is a finding, reported with what broke
// and ended with abort() so that libFuzzer saves the input that shows it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "fuzz invariant broken: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

inline void Require(bool ok, const char* what, const std::string& detail = {}) {
    if (!ok) Fail(what, detail);
}

// UTF-16 text as escaped ASCII, for the message of a finding.
inline std::string Show(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

// Fuzz bytes as UTF-16: well-formed UTF-8 sequences give their characters (so that seeds
// stay readable text), any other byte the character of the same value (so that every
// unit below U+0100 and lone surrogates written in UTF-8's generalised form can occur).
inline std::u16string Widen(std::string_view bytes) {
    std::u16string out;
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        int n = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
        char32_t c = n == 3 ? b & 0x07 : n == 2 ? b & 0x0F : b & 0x1F;
        bool ok = n > 0;
        for (int k = 1; ok && k <= n; ++k) {
            if (i + k >= bytes.size()) {
                ok = false;
                break;
            }
            const auto t = static_cast<unsigned char>(bytes[i + k]);
            if ((t & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok || c > 0x10FFFF) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += static_cast<size_t>(n) + 1;
    }
    return out;
}

}  // namespace fuzz
