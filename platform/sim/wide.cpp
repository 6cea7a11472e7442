// The Microsoft runtime's wide string functions for 16-bit WCHAR text.
//
// Behaviour follows msvcrt in the "C" locale, the one a Windows program runs in unless it
// calls setlocale: case folding touches ASCII letters only, `long` is 32 bits wide, and the
// bounded copies report failures through their return value and errno instead of writing
// past the destination.
#include "win32/wide.h"

#include <cerrno>
#include <cstdint>

namespace {

// Where Windows defines LONG_MIN, LONG_MAX and ULONG_MAX for a 32-bit long.
constexpr long kLongMin = INT32_MIN;
constexpr long kLongMax = INT32_MAX;
constexpr unsigned long kULongMax = UINT32_MAX;
// What the case-insensitive compares return for a null argument.
constexpr int kNlsCompareError = INT32_MAX;

constexpr WCHAR FoldLower(WCHAR c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + (u'a' - u'A')) : c;
}

constexpr WCHAR FoldUpper(WCHAR c) {
    return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - (u'a' - u'A')) : c;
}

constexpr bool IsSpace(WCHAR c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

// An integer as wcstol and wcstoul read it, before either applies its own range.
struct ParsedInteger {
    uint64_t magnitude = 0;
    bool negative = false;
    bool overflow = false;  // the digits exceed 32 bits
    bool valid = false;     // the arguments were usable at all
};

ParsedInteger ParseInteger(const WCHAR* s, WCHAR** end, int base) {
    ParsedInteger result;
    if (end) *end = const_cast<WCHAR*>(s);
    if (!s || base < 0 || base == 1 || base > 36) {
        errno = EINVAL;
        return result;
    }
    result.valid = true;

    const WCHAR* p = s;
    while (IsSpace(*p)) ++p;
    if (*p == u'-' || *p == u'+') result.negative = (*p++ == u'-');

    const bool hexPrefix = p[0] == u'0' && (p[1] == u'x' || p[1] == u'X');
    if (base == 0) base = hexPrefix ? 16 : (p[0] == u'0' ? 8 : 10);
    // The runtime skips "0x" before it looks for digits: "0x" alone converts nothing, and
    // the end pointer then stays at the start of the text.
    if (base == 16 && hexPrefix) p += 2;

    const WCHAR* digits = p;
    for (int d; (d = DigitValue(*p)) < base; ++p) {
        result.magnitude = result.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (result.magnitude > UINT32_MAX) {
            result.overflow = true;
            result.magnitude = UINT32_MAX + uint64_t{1};  // stays above the limit, cannot wrap
        }
    }
    if (p == digits) {
        result.magnitude = 0;
        result.negative = false;
        return result;
    }
    if (end) *end = const_cast<WCHAR*>(p);
    return result;
}

}  // namespace

size_t wcslen(const WCHAR* s) {
    const WCHAR* p = s;
    while (*p) ++p;
    return static_cast<size_t>(p - s);
}

size_t wcsnlen(const WCHAR* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b) ++a, ++b;
    return (*a > *b) - (*a < *b);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (; n; --n, ++a, ++b) {
        if (*a != *b) return *a < *b ? -1 : 1;
        if (!*a) break;
    }
    return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return _wcsnicmp(a, b, SIZE_MAX);
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
    if (!a || !b) {
        errno = EINVAL;
        return kNlsCompareError;
    }
    for (; n; --n, ++a, ++b) {
        const int fa = FoldLower(*a);
        const int fb = FoldLower(*b);
        if (fa != fb || !fa) return fa - fb;
    }
    return 0;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
    WCHAR* p = dst;
    while ((*p++ = *src++)) {
    }
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i) dst[i] = src[i];
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
    for (;; ++s) {
        if (*s == c) return s;
        if (!*s) return nullptr;
    }
}

WCHAR* wcschr(WCHAR* s, WCHAR c) {
    return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c));
}

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
    const WCHAR* last = nullptr;
    for (;; ++s) {
        if (*s == c) last = s;
        if (!*s) return last;
    }
}

WCHAR* wcsrchr(WCHAR* s, WCHAR c) {
    return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c));
}

const WCHAR* wcsstr(const WCHAR* s, const WCHAR* sub) {
    if (!*sub) return s;
    const size_t n = wcslen(sub);
    for (; *s; ++s) {
        if (*s == *sub && wcsncmp(s, sub, n) == 0) return s;
    }
    return nullptr;
}

WCHAR* wcsstr(WCHAR* s, const WCHAR* sub) {
    return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(s), sub));
}

long wcstol(const WCHAR* s, WCHAR** end, int base) {
    const ParsedInteger n = ParseInteger(s, end, base);
    if (n.negative) {
        if (n.magnitude > uint64_t{1} << 31) {
            errno = ERANGE;
            return kLongMin;
        }
        return -static_cast<long>(n.magnitude);
    }
    if (n.magnitude > static_cast<uint64_t>(kLongMax)) {
        errno = ERANGE;
        return kLongMax;
    }
    return static_cast<long>(n.magnitude);
}

unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base) {
    const ParsedInteger n = ParseInteger(s, end, base);
    if (n.overflow) {
        errno = ERANGE;
        return kULongMax;
    }
    // A minus sign negates in the 32-bit unsigned range, so "-1" is 0xFFFFFFFF.
    const uint32_t value = static_cast<uint32_t>(n.magnitude);
    return n.negative ? static_cast<uint32_t>(0u - value) : value;
}

int _wtoi(const WCHAR* s) {
    return static_cast<int>(wcstol(s, nullptr, 10));
}

errno_t wcscpy_s(WCHAR* dst, size_t size, const WCHAR* src) {
    if (!dst || size == 0) return errno = EINVAL;
    if (!src) {
        dst[0] = 0;
        return errno = EINVAL;
    }
    for (size_t i = 0; i < size; ++i) {
        if (!(dst[i] = src[i])) return 0;
    }
    dst[0] = 0;
    return errno = ERANGE;
}

errno_t wcsncpy_s(WCHAR* dst, size_t size, const WCHAR* src, size_t count) {
    if (count == 0 && !dst && size == 0) return 0;
    if (!dst || size == 0) return errno = EINVAL;
    if (count == 0) {
        dst[0] = 0;
        return 0;
    }
    if (!src) {
        dst[0] = 0;
        return errno = EINVAL;
    }
    const size_t length = wcsnlen(src, count);  // what the caller asked to copy
    if (length < size) {
        for (size_t i = 0; i < length; ++i) dst[i] = src[i];
        dst[length] = 0;
        return 0;
    }
    if (count == _TRUNCATE) {
        for (size_t i = 0; i + 1 < size; ++i) dst[i] = src[i];
        dst[size - 1] = 0;
        return STRUNCATE;
    }
    dst[0] = 0;
    return errno = ERANGE;
}

errno_t wcscat_s(WCHAR* dst, size_t size, const WCHAR* src) {
    if (!dst || size == 0) return errno = EINVAL;
    if (!src) {
        dst[0] = 0;
        return errno = EINVAL;
    }
    const size_t used = wcsnlen(dst, size);
    if (used == size) {  // the destination was not terminated within its size
        dst[0] = 0;
        return errno = EINVAL;
    }
    for (size_t i = used; i < size; ++i) {
        if (!(dst[i] = src[i - used])) return 0;
    }
    dst[0] = 0;
    return errno = ERANGE;
}

WCHAR* _wcslwr(WCHAR* s) {
    if (!s) {
        errno = EINVAL;
        return nullptr;
    }
    for (WCHAR* p = s; *p; ++p) *p = FoldLower(*p);
    return s;
}

WCHAR* _wcsupr(WCHAR* s) {
    if (!s) {
        errno = EINVAL;
        return nullptr;
    }
    for (WCHAR* p = s; *p; ++p) *p = FoldUpper(*p);
    return s;
}

errno_t _wcslwr_s(WCHAR* s, size_t size) {
    if (!s || size == 0) return errno = EINVAL;
    if (wcsnlen(s, size) == size) {
        s[0] = 0;
        return errno = EINVAL;
    }
    _wcslwr(s);
    return 0;
}
