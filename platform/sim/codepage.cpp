// Code-page conversion. CP_ACP is the machine's ANSI code page: 1252 (Western) is a
// table here; the double-byte code pages 936 (Simplified Chinese, GBK) and 950 (Traditional
// Chinese, Big5) come from the C library's iconv, cached per character because the log
// converts every line it writes.
#include <iconv.h>

#include <array>
#include <cstring>
#include <mutex>
#include <string>

#include "machine.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"

namespace sim {
namespace {

// Windows-1252's 0x80..0x9F; the five holes map to the same C1 code points, as Windows
// maps them.
constexpr char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int Encode1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (k1252High[i] == c) return 0x80 + i;
    return -1;
}

// A double-byte code page through iconv, one character at a time, remembered.
class DoubleByteCodePage {
public:
    // iconvName: the C library's name for the code page; byteFF: what the single byte 0xFF
    // stands for, which Windows maps to a private-use character and iconv does not know.
    DoubleByteCodePage(const char* iconvName, char16_t byteFF) : m_name(iconvName), m_byteFF(byteFF) {}

    // The bytes of c (one or two, as big-endian 0xLLTT), or -1 when it has none.
    int Encode(char16_t c) {
        if (c < 0x80) return c;
        if (c == m_byteFF) return 0xFF;  // the byte FF's own character, both ways as on Windows
        std::lock_guard lock(m_mutex);
        int32_t& slot = m_enc[c];
        if (slot == 0) slot = Convert(c) + 1;  // stored off by one: 0 means "not yet"
        return slot - 1;
    }
    // The character of a lead and trail byte pair, or 0 when the pair is not in the code page.
    char16_t DecodePair(unsigned char lead, unsigned char trail) {
        std::lock_guard lock(m_mutex);
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        return Decode(in, 2);
    }
    char16_t DecodeSingle(unsigned char b) {
        if (b < 0x80) return b;
        std::lock_guard lock(m_mutex);
        char in[1] = {static_cast<char>(b)};
        char16_t c = Decode(in, 1);
        return c ? c : b == 0xFF ? m_byteFF : 0;
    }

private:
    int Convert(char16_t c) {
        if (!Open()) return -1;
        char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        char out[4];
        char* ip = in;
        char* op = out;
        size_t il = 2, ol = sizeof out;
        iconv(m_toCp, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_toCp, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return -1;
        size_t n = sizeof out - ol;
        if (n == 1) return static_cast<unsigned char>(out[0]);
        if (n == 2)
            return (static_cast<unsigned char>(out[0]) << 8) | static_cast<unsigned char>(out[1]);
        return -1;
    }
    char16_t Decode(char* in, size_t len) {
        if (!Open()) return 0;
        char out[4];
        char* ip = in;
        char* op = out;
        size_t il = len, ol = sizeof out;
        iconv(m_fromCp, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_fromCp, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return 0;
        if (sizeof out - ol != 2) return 0;
        return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                     (static_cast<unsigned char>(out[1]) << 8));
    }
    bool Open() {
        if (m_toCp == reinterpret_cast<iconv_t>(-1)) m_toCp = iconv_open(m_name, "UTF-16LE");
        if (m_fromCp == reinterpret_cast<iconv_t>(-1)) m_fromCp = iconv_open("UTF-16LE", m_name);
        return m_toCp != reinterpret_cast<iconv_t>(-1) && m_fromCp != reinterpret_cast<iconv_t>(-1);
    }

    const char* m_name;
    char16_t m_byteFF;
    std::mutex m_mutex;
    iconv_t m_toCp = reinterpret_cast<iconv_t>(-1);
    iconv_t m_fromCp = reinterpret_cast<iconv_t>(-1);
    std::array<int32_t, 65536> m_enc{};
};

bool IsDoubleByte(UINT cp) { return cp == 936 || cp == 950; }

DoubleByteCodePage& DoubleByte(UINT cp) {
    static auto* gbk = new DoubleByteCodePage("CP936", 0xF8F5);
    static auto* big5 = new DoubleByteCodePage("CP950", 0xF8F8);
    return cp == 950 ? *big5 : *gbk;
}

UINT Resolve(UINT cp) {
    if (cp == CP_ACP || cp == CP_THREAD_ACP || cp == CP_OEMCP)
        return AnsiCodePageFor(CurrentMachine().Settings().lang);
    return cp;
}

// Encodes one UTF-16 unit (or surrogate pair, for UTF-8) into bytes; false if unmapped.
bool EncodeChar(UINT cp, const WCHAR* s, int len, int& i, std::string& out) {
    char16_t c = s[i];
    if (cp == CP_UTF8) {
        int n = (c >= 0xD800 && c < 0xDC00 && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) ? 2 : 1;
        out += ToUtf8(std::u16string_view(s + i, n));
        i += n - 1;
        return !(n == 1 && c >= 0xD800 && c < 0xE000);
    }
    if (cp == 1252) {
        int b = Encode1252(c);
        if (b < 0) return false;
        out += static_cast<char>(b);
        return true;
    }
    int b = DoubleByte(cp).Encode(c);
    if (b < 0) return false;
    if (b > 0xFF) out += static_cast<char>(b >> 8);
    out += static_cast<char>(b & 0xFF);
    return true;
}

}  // namespace
}  // namespace sim

using namespace sim;

UINT GetACP() { return AnsiCodePageFor(CurrentMachine().Settings().lang); }
UINT GetOEMCP() {
    UINT acp = GetACP();
    return IsDoubleByte(acp) ? acp : 437;
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (!lpMultiByteStr && cbMultiByte > 0) ||
        (lpMultiByteStr && reinterpret_cast<const void*>(lpMultiByteStr) ==
                               reinterpret_cast<const void*>(lpWideCharStr))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = Resolve(CodePage);
    if (cp != 1252 && !IsDoubleByte(cp) && cp != CP_UTF8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cp == CP_UTF8 && ((dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) ||
                          lpDefaultChar || lpUsedDefaultChar)) {
        SetLastError(dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS) ? ERROR_INVALID_FLAGS
                                                                       : ERROR_INVALID_PARAMETER);
        return 0;
    }
    int len = cchWideChar < 0 ? static_cast<int>(wcslen(lpWideCharStr)) + 1 : cchWideChar;
    std::string out;
    out.reserve(static_cast<size_t>(len) * 2);
    bool usedDefault = false;
    std::string def = lpDefaultChar ? std::string(lpDefaultChar, std::strlen(lpDefaultChar) > 1 ? 2 : 1)
                                    : std::string("?");
    for (int i = 0; i < len; ++i) {
        if (!EncodeChar(cp, lpWideCharStr, len, i, out)) {
            if (cp == CP_UTF8) {
                if (dwFlags & WC_ERR_INVALID_CHARS) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                continue;  // ToUtf8 already wrote U+FFFD
            }
            out += def;
            usedDefault = true;
        }
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (cbMultiByte == 0) return static_cast<int>(out.size());
    if (static_cast<int>(out.size()) > cbMultiByte) {
        std::memcpy(lpMultiByteStr, out.data(), static_cast<size_t>(cbMultiByte));
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return static_cast<int>(out.size());
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (!lpWideCharStr && cchWideChar > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = Resolve(CodePage);
    if (cp != 1252 && !IsDoubleByte(cp) && cp != CP_UTF8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t len = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    auto bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
    std::u16string out;
    // UTF-8 text with bad sequences is converted in full (U+FFFD for each) before
    // MB_ERR_INVALID_CHARS refuses it: a buffer too small is reported first, and the
    // caller's buffer holds the converted text either way.
    bool badUtf8 = false;
    if (cp == CP_UTF8) {
        badUtf8 = !ToUtf16(std::string_view(lpMultiByteStr, len), out);
    } else {
        DoubleByteCodePage* dbcs = IsDoubleByte(cp) ? &DoubleByte(cp) : nullptr;
        for (size_t i = 0; i < len; ++i) {
            unsigned char b = bytes[i];
            if (!dbcs) {
                out += (b >= 0x80 && b < 0xA0) ? k1252High[b - 0x80] : static_cast<char16_t>(b);
                continue;
            }
            if (b < 0x80) {
                out += static_cast<char16_t>(b);
            } else if (b >= 0x81 && b <= 0xFE) {
                // A lead byte: with its trail byte one character, else the code page's
                // default character (a lead byte with nothing after it too).
                char16_t c = i + 1 < len ? dbcs->DecodePair(b, bytes[i + 1]) : 0;
                if (c) {
                    out += c;
                    ++i;
                } else if (strict) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                } else {
                    out += u'\u30FB';  // Windows' default character for a bad double-byte pair
                }
            } else {
                char16_t c = dbcs->DecodeSingle(b);
                if (!c && strict) {
                    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                    return 0;
                }
                out += c ? c : u'\uF8F5';
            }
        }
    }
    auto refuse = [&] {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    };
    if (cchWideChar == 0) return badUtf8 && strict ? refuse() : static_cast<int>(out.size());
    if (cchWideChar == 0) return static_cast<int>(out.size());
    if (static_cast<int>(out.size()) > cchWideChar) {
        std::memcpy(lpWideCharStr, out.data(), static_cast<size_t>(cchWideChar) * 2);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpWideCharStr, out.data(), out.size() * 2);
    return badUtf8 && strict ? refuse() : static_cast<int>(out.size());
}
