// The code-page conversions, MultiByteToWideChar and WideCharToMultiByte, for UTF-8,
// Western (1252) and Simplified Chinese (936). The first byte chooses the code page and
// flags, the rest is the text: bytes one way, UTF-16 units the other. Checked: a size
// query gives the length a conversion writes, a buffer one short is refused with
// ERROR_INSUFFICIENT_BUFFER and nothing is written past any buffer; UTF-8 keeps every
// ASCII byte (the terminator too) whatever bad sequence stands before it, decoding is
// stable (what it gives encodes and decodes to itself), MB_ERR_INVALID_CHARS accepts
// exactly the text that encodes back to its own bytes, and encoding writes valid UTF-8
// or refuses a lone surrogate with WC_ERR_INVALID_CHARS; 1252 round-trips every byte.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/win32.h"

namespace {

using Wide = std::u16string;

struct Decoded {
    bool ok = false;
    DWORD error = 0;
    Wide text;
};

Decoded Decode(UINT cp, DWORD flags, const std::string& bytes, int length) {
    Decoded d;
    SetLastError(0xDEADBEEF);
    const int n = MultiByteToWideChar(cp, flags, bytes.data(), length, nullptr, 0);
    if (n <= 0) {
        d.error = GetLastError();
        fuzz::Require(n == 0 && d.error != 0xDEADBEEF, "MultiByteToWideChar: a failure without an error");
        return d;
    }
    if (n > 1) {
        std::vector<WCHAR> tooSmall(static_cast<size_t>(n - 1));
        SetLastError(0xDEADBEEF);
        fuzz::Require(MultiByteToWideChar(cp, flags, bytes.data(), length, tooSmall.data(), n - 1) == 0 &&
                          GetLastError() == ERROR_INSUFFICIENT_BUFFER,
                      "MultiByteToWideChar: a buffer one short not refused");
    }
    std::vector<WCHAR> out(static_cast<size_t>(n));
    const int written = MultiByteToWideChar(cp, flags, bytes.data(), length, out.data(), n);
    fuzz::Require(written == n, "MultiByteToWideChar: the size query and the conversion differ",
                  std::to_string(n) + " vs " + std::to_string(written));
    d.ok = true;
    d.text.assign(out.begin(), out.end());
    return d;
}

struct Encoded {
    bool ok = false;
    DWORD error = 0;
    std::string bytes;
    BOOL usedDefault = FALSE;
};

Encoded Encode(UINT cp, DWORD flags, const Wide& text) {
    Encoded e;
    BOOL* used = cp == CP_UTF8 ? nullptr : &e.usedDefault;
    SetLastError(0xDEADBEEF);
    const int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, used);
    if (n <= 0) {
        e.error = GetLastError();
        fuzz::Require(n == 0 && e.error != 0xDEADBEEF, "WideCharToMultiByte: a failure without an error");
        return e;
    }
    if (n > 1) {
        std::vector<char> tooSmall(static_cast<size_t>(n - 1));
        SetLastError(0xDEADBEEF);
        fuzz::Require(WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), tooSmall.data(), n - 1,
                                          nullptr, nullptr) == 0 &&
                          GetLastError() == ERROR_INSUFFICIENT_BUFFER,
                      "WideCharToMultiByte: a buffer one short not refused");
    }
    std::vector<char> out(static_cast<size_t>(n));
    const int written = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), out.data(), n,
                                            nullptr, used);
    fuzz::Require(written == n, "WideCharToMultiByte: the size query and the conversion differ");
    e.ok = true;
    e.bytes.assign(out.begin(), out.end());
    return e;
}

size_t CountAscii(std::string_view s) {
    size_t n = 0;
    for (char c : s) n += static_cast<unsigned char>(c) < 0x80;
    return n;
}
size_t CountAscii(const Wide& s) {
    size_t n = 0;
    for (char16_t c : s) n += c < 0x80;
    return n;
}

// Strict UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n;
        char32_t c, min;
        if (b < 0x80) { ++i; continue; }
        if (b >= 0xC2 && b < 0xE0) n = 1, c = b & 0x1F, min = 0x80;
        else if (b >= 0xE0 && b < 0xF0) n = 2, c = b & 0x0F, min = 0x800;
        else if (b >= 0xF0 && b < 0xF5) n = 3, c = b & 0x07, min = 0x10000;
        else return false;
        if (i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
        i += n + 1;
    }
    return true;
}

bool HasLoneSurrogate(const Wide& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] >= 0xD800 && s[i] < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) ++i;
        else if (s[i] >= 0xD800 && s[i] < 0xE000) return true;
    }
    return false;
}

void CheckUtf8(const std::string& bytes, bool terminated) {
    const int length = terminated ? -1 : static_cast<int>(bytes.size());
    const std::string_view input(bytes.data(), terminated ? std::strlen(bytes.c_str()) + 1 : bytes.size());
    const Decoded lax = Decode(CP_UTF8, 0, bytes, length);
    fuzz::Require(lax.ok, "UTF-8: text refused without MB_ERR_INVALID_CHARS");
    fuzz::Require(CountAscii(lax.text) == CountAscii(input), "UTF-8: ASCII lost or made up around a bad sequence",
                  fuzz::Show(lax.text));
    if (terminated) fuzz::Require(!lax.text.empty() && lax.text.back() == 0, "UTF-8: the terminator lost");

    const Encoded back = Encode(CP_UTF8, WC_ERR_INVALID_CHARS, lax.text);
    fuzz::Require(back.ok && IsUtf8(back.bytes), "UTF-8: decoded text does not encode", fuzz::Show(lax.text));
    fuzz::Require(Decode(CP_UTF8, 0, back.bytes, static_cast<int>(back.bytes.size())).text == lax.text,
                  "UTF-8: decoding is not stable", fuzz::Show(lax.text));

    const Decoded strict = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, length);
    const bool valid = IsUtf8(input);
    fuzz::Require(strict.ok == valid, valid ? "UTF-8: valid text refused" : "UTF-8: invalid text accepted by MB_ERR_INVALID_CHARS",
                  fuzz::Show(lax.text));
    if (strict.ok) {
        fuzz::Require(strict.text == lax.text && back.bytes == input, "UTF-8: valid text does not round-trip");
    } else {
        fuzz::Require(strict.error == ERROR_NO_UNICODE_TRANSLATION, "UTF-8: the wrong error for invalid text",
                      std::to_string(strict.error));
    }
}

void CheckUtf16(const Wide& text) {
    const Encoded lax = Encode(CP_UTF8, 0, text);
    fuzz::Require(lax.ok && IsUtf8(lax.bytes), "UTF-16 to UTF-8: not valid UTF-8", fuzz::Show(text));
    const Encoded strict = Encode(CP_UTF8, WC_ERR_INVALID_CHARS, text);
    fuzz::Require(strict.ok == !HasLoneSurrogate(text), "UTF-16 to UTF-8: WC_ERR_INVALID_CHARS on the wrong text",
                  fuzz::Show(text));
    if (!strict.ok)
        fuzz::Require(strict.error == ERROR_NO_UNICODE_TRANSLATION, "UTF-16 to UTF-8: the wrong error");
    const Decoded back = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, lax.bytes, static_cast<int>(lax.bytes.size()));
    fuzz::Require(back.ok, "UTF-16 to UTF-8: own output refused");
    if (strict.ok) fuzz::Require(back.text == text, "UTF-16 to UTF-8: does not round-trip", fuzz::Show(text));

    for (UINT cp : {1252u, 936u}) {
        const Encoded e = Encode(cp, 0, text);
        fuzz::Require(e.ok, "UTF-16 to ANSI: refused", std::to_string(cp));
        const Decoded d = Decode(cp, 0, e.bytes, static_cast<int>(e.bytes.size()));
        // Characters the code page has come back; the others are its default character.
        if (!e.usedDefault && cp == 1252)
            fuzz::Require(d.text == text, "UTF-16 to 1252: does not round-trip", fuzz::Show(text));
    }
}

void CheckAnsi(UINT cp, const std::string& bytes) {
    const Decoded lax = Decode(cp, 0, bytes, static_cast<int>(bytes.size()));
    fuzz::Require(lax.ok, "ANSI: text refused without MB_ERR_INVALID_CHARS", std::to_string(cp));
    if (cp == 1252) {
        fuzz::Require(lax.text.size() == bytes.size(), "1252: not one character a byte");
        const Encoded back = Encode(cp, 0, lax.text);
        fuzz::Require(back.ok && !back.usedDefault && back.bytes == bytes, "1252: bytes do not round-trip");
    }
    const Decoded strict = Decode(cp, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(bytes.size()));
    if (strict.ok) {
        fuzz::Require(strict.text == lax.text, "ANSI: strict and lax decodings differ", std::to_string(cp));
        // Valid text: every character it gave has bytes in the code page.
        const Encoded back = Encode(cp, 0, strict.text);
        fuzz::Require(back.ok && !back.usedDefault, "ANSI: a decoded character has no bytes", fuzz::Show(strict.text));
    } else {
        fuzz::Require(strict.error == ERROR_NO_UNICODE_TRANSLATION, "ANSI: the wrong error for invalid text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0] % 5;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (bytes.empty()) return 0;  // an empty text is refused, as on Windows
    switch (mode) {
    case 0: CheckUtf8(bytes, false); break;
    case 1: CheckUtf8(bytes + '\0', true); break;
    case 2: CheckAnsi(1252, bytes); break;
    case 3: CheckAnsi(936, bytes); break;
    default: {
        Wide text;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (!text.empty()) CheckUtf16(text);
    }
    }
    return 0;
}
