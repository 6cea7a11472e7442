// The two wide formatters Windows programs use: USER32's wsprintfW and the C runtime's
// swprintf family, for 16-bit WCHAR text.
//
// They differ on purpose, as on Windows. wsprintfW knows no floating point, no '*', no '+'
// or ' ' flags, reads 32-bit integers unless told I64, and never writes more than 1024
// characters. The runtime's formatter takes the whole printf set and reports text that
// does not fit. In both, %s is a wide string and %hs / %S a narrow one, whose bytes become
// the characters of the same value, as in the runtime's "C" locale.
#include "win32/wide.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using WideView = std::basic_string_view<WCHAR>;

constexpr size_t kWsprintfLimit = 1024;  // characters, terminator included
constexpr WCHAR kNullText[] = u"(null)";

// Writes into the caller's buffer up to a capacity and notes whether more was offered.
class Sink {
public:
    Sink(WCHAR* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Put(WCHAR c) {
        if (length_ < capacity_)
            buffer_[length_++] = c;
        else
            overflow_ = true;
    }
    void Repeat(WCHAR c, size_t count) {
        for (; count && !overflow_; --count) Put(c);
    }
    void Append(WideView text) {
        for (WCHAR c : text) {
            if (overflow_) return;
            Put(c);
        }
    }
    // Narrow text: each byte becomes the character of the same value.
    void AppendNarrow(const char* text, size_t count) {
        for (size_t i = 0; i < count && !overflow_; ++i) Put(static_cast<unsigned char>(text[i]));
    }

    size_t Length() const { return length_; }
    size_t Room() const { return capacity_ - length_; }
    bool Overflowed() const { return overflow_; }

private:
    WCHAR* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool overflow_ = false;
};

// The variable arguments, copied so that every helper can take the next one.
class ArgList {
public:
    explicit ArgList(va_list args) { va_copy(args_, args); }
    ~ArgList() { va_end(args_); }
    ArgList(const ArgList&) = delete;
    ArgList& operator=(const ArgList&) = delete;

    template <class T>
    T Next() {
        return va_arg(args_, T);
    }

private:
    va_list args_;
};

// The digits of a number in a base, most significant first, in a small fixed buffer.
class Digits {
public:
    Digits(uint64_t value, unsigned base, bool upper) {
        const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        WCHAR reversed[64];
        size_t n = 0;
        do {
            reversed[n++] = static_cast<WCHAR>(set[value % base]);
            value /= base;
        } while (value);
        while (n) text_[length_++] = reversed[--n];
    }
    WideView View() const { return {text_, length_}; }

private:
    WCHAR text_[64];
    size_t length_ = 0;
};

size_t NarrowLength(const char* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

size_t WideLength(const WCHAR* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

// Lays out one converted field: spaces to the width on the chosen side, the prefix (sign or
// radix mark), leading zeros, then the body.
void EmitField(Sink& out, WideView prefix, size_t zeros, WideView body, size_t width, bool left) {
    const size_t used = prefix.size() + zeros + body.size();
    const size_t pad = width > used ? width - used : 0;
    if (!left) out.Repeat(u' ', pad);
    out.Append(prefix);
    out.Repeat(u'0', zeros);
    out.Append(body);
    if (left) out.Repeat(u' ', pad);
}

void EmitNarrowField(Sink& out, const char* text, size_t count, size_t width, bool left) {
    const size_t pad = width > count ? width - count : 0;
    if (!left) out.Repeat(u' ', pad);
    out.AppendNarrow(text, count);
    if (left) out.Repeat(u' ', pad);
}

// An integer field shared by both formatters. `precision` is the minimum number of digits
// (-1 when not given); `zeroFill` pads with zeros up to the width after the prefix.
struct IntegerField {
    uint64_t magnitude = 0;
    bool negative = false;
    unsigned base = 10;
    bool upper = false;
    WideView radixPrefix;  // "0x", "0X" or "0"
    WCHAR positiveSign = 0;  // '+' or ' ' from the runtime's flags
    int precision = -1;
    size_t width = 0;
    bool left = false;
    bool zeroFill = false;
};

void EmitInteger(Sink& out, const IntegerField& f) {
    WCHAR prefix[4];
    size_t prefixLength = 0;
    if (f.negative)
        prefix[prefixLength++] = u'-';
    else if (f.positiveSign)
        prefix[prefixLength++] = f.positiveSign;
    for (WCHAR c : f.radixPrefix) prefix[prefixLength++] = c;

    const Digits digits(f.magnitude, f.base, f.upper);
    WideView body = digits.View();
    if (f.precision == 0 && f.magnitude == 0) body = {};  // "%.0d" of 0 prints no digit

    size_t zeros = 0;
    if (f.precision > 0 && static_cast<size_t>(f.precision) > body.size())
        zeros = static_cast<size_t>(f.precision) - body.size();
    if (f.zeroFill && !f.left) {
        const size_t used = prefixLength + zeros + body.size();
        if (f.width > used) zeros += f.width - used;
    }
    EmitField(out, {prefix, prefixLength}, zeros, body, f.width, f.left);
}

// ---------------------------------------------------------------------------------------
// USER32: [-][#][0][width][.precision][l|h|w|I64|I32|I]type

void WsprintfFormat(Sink& out, const WCHAR* format, ArgList& args) {
    const WCHAR* p = format;
    while (*p && !out.Overflowed()) {
        if (*p != u'%') {
            out.Put(*p++);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.Put(*p++);
            continue;
        }

        bool left = false, alt = false, zero = false;
        if (*p == u'-') left = true, ++p;
        if (*p == u'#') alt = true, ++p;
        if (*p == u'0') zero = true, ++p;
        size_t width = 0, precision = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p) width = width * 10 + static_cast<size_t>(*p - u'0');
        if (*p == u'.') {
            for (++p; *p >= u'0' && *p <= u'9'; ++p)
                precision = precision * 10 + static_cast<size_t>(*p - u'0');
        }
        if (width > kWsprintfLimit) width = kWsprintfLimit;

        bool isShort = false, isLong = false, isWide = false, is64 = false, isPtr = false;
        if (*p == u'l') {
            isLong = true, ++p;
        } else if (*p == u'h') {
            isShort = true, ++p;
        } else if (*p == u'w') {
            isWide = true, ++p;
        } else if (*p == u'I') {
            if (p[1] == u'6' && p[2] == u'4')
                is64 = true, p += 3;
            else if (p[1] == u'3' && p[2] == u'2')
                p += 3;
            else
                isPtr = true, ++p;
        }

        const WCHAR type = *p;
        switch (type) {
        case u'c':
        case u'C': {
            const bool narrow = type == u'c' ? isShort : !(isLong || isWide);
            const int value = args.Next<int>();
            const WCHAR c = narrow ? static_cast<WCHAR>(static_cast<unsigned char>(value))
                                   : static_cast<WCHAR>(value);
            EmitField(out, {}, 0, {&c, 1}, width, left);
            break;
        }
        case u's':
        case u'S': {
            const bool narrow = type == u's' ? (isShort && !isWide) : !(isLong || isWide);
            // A precision of 0 is no limit here: USER32 cannot tell ".0" from no precision.
            const size_t limit = precision ? precision : SIZE_MAX;
            if (narrow) {
                const char* s = args.Next<const char*>();
                if (!s) s = "(null)";
                EmitNarrowField(out, s, NarrowLength(s, limit), width, left);
            } else {
                const WCHAR* s = args.Next<const WCHAR*>();
                if (!s) s = kNullText;
                EmitField(out, {}, 0, {s, WideLength(s, limit)}, width, left);
            }
            break;
        }
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'p': {
            IntegerField f;
            if (type == u'p') {
                isPtr = true;
                zero = true;
                width = 2 * sizeof(void*);
            }
            int64_t value;
            if (isPtr)
                value = args.Next<intptr_t>();
            else if (is64)
                value = args.Next<int64_t>();
            else
                value = args.Next<int>();
            if (type == u'd' || type == u'i') {
                f.negative = value < 0;
                f.magnitude = f.negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
            } else if (isPtr) {
                f.magnitude = static_cast<uintptr_t>(value);
            } else if (is64) {
                f.magnitude = static_cast<uint64_t>(value);
            } else {
                f.magnitude = static_cast<uint32_t>(value);
            }
            if (type != u'd' && type != u'i' && type != u'u') {
                f.base = 16;
                f.upper = type != u'x';
                if (alt) f.radixPrefix = f.upper ? u"0X" : u"0x";
            }
            f.precision = precision ? static_cast<int>(precision) : -1;
            f.width = width;
            f.left = left;
            f.zeroFill = zero;
            EmitInteger(out, f);
            break;
        }
        default:
            // Not a conversion: what was read of the conversion is dropped and the
            // character itself is printed as ordinary text (or the format just ends).
            continue;
        }
        ++p;
    }
}

// ---------------------------------------------------------------------------------------
// The runtime: %[flags][width|*][.precision|*][size]type

enum class Size { Default, Char, Short, Long, LongLong, Pointer, Wide };

// Formats a double through the host's converter, then shapes it the way msvcrt prints:
// exponents have at least three digits ("1.5e+003").
void EmitFloat(Sink& out, double value, WCHAR type, bool left, bool plus, bool space, bool alt,
               bool zero, size_t width, int precision) {
    // A double's digits end within 1,100 places (its exact expansion); past them a longer
    // precision only adds zeros, one a place (none for %g, which drops them). So the text
    // of a precision beyond the buffer's room and those digits is formatted shorter, and
    // the zeros left out are counted in the field's width: the visible text and the
    // overflow are the same, without the host formatting gigabytes of zeros (or failing
    // past INT_MAX).
    const size_t enough = std::min<size_t>(out.Room() + 1100, INT_MAX);
    if (precision >= 0 && static_cast<size_t>(precision) > enough) {
        const bool dropsZeros = (type == u'g' || type == u'G') && !alt;
        const size_t leftOut = dropsZeros ? 0 : static_cast<size_t>(precision) - enough;
        width = width > leftOut ? width - leftOut : 0;
        precision = static_cast<int>(enough);
    }
    std::string spec = "%";
    if (plus) spec += '+';
    if (space) spec += ' ';
    if (alt) spec += '#';
    if (precision >= 0) spec += "." + std::to_string(precision);
    spec += static_cast<char>(type);

    std::string text(64, '\0');
    int n = std::snprintf(text.data(), text.size(), spec.c_str(), value);
    if (n < 0) return;
    if (static_cast<size_t>(n) >= text.size()) {
        text.resize(static_cast<size_t>(n) + 1);
        std::snprintf(text.data(), text.size(), spec.c_str(), value);
    }
    text.resize(static_cast<size_t>(n));

    const bool isExponentType = type == u'e' || type == u'E' || type == u'g' || type == u'G';
    const size_t e = text.find_first_of("eE");
    if (isExponentType && e != std::string::npos && e + 2 < text.size()) {
        const size_t exponentDigits = text.size() - (e + 2);
        if (exponentDigits < 3) text.insert(e + 2, 3 - exponentDigits, '0');
    }

    std::basic_string<WCHAR> wide(text.begin(), text.end());
    size_t signLength = (!wide.empty() && (wide[0] == u'-' || wide[0] == u'+' || wide[0] == u' ')) ? 1 : 0;
    const bool finite = value - value == 0;
    size_t zeros = 0;
    if (zero && !left && finite && width > wide.size()) zeros = width - wide.size();
    EmitField(out, WideView(wide).substr(0, signLength), zeros, WideView(wide).substr(signLength), width,
              left);
}

// Returns false for a specification the runtime rejects, if `strict`; otherwise such a
// specification is dropped and its last character printed, as the legacy functions do.
bool CrtFormat(Sink& out, const WCHAR* format, ArgList& args, bool strict) {
    const WCHAR* p = format;
    while (*p && !out.Overflowed()) {
        if (*p != u'%') {
            out.Put(*p++);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.Put(*p++);
            continue;
        }

        bool left = false, plus = false, space = false, alt = false, zero = false;
        for (;; ++p) {
            if (*p == u'-')
                left = true;
            else if (*p == u'+')
                plus = true;
            else if (*p == u' ')
                space = true;
            else if (*p == u'#')
                alt = true;
            else if (*p == u'0')
                zero = true;
            else
                break;
        }

        size_t width = 0;
        if (*p == u'*') {
            // A negative width from the arguments means left alignment.
            const int64_t w = args.Next<int>();
            if (w < 0) left = true;
            width = static_cast<size_t>(w < 0 ? -w : w);
            ++p;
        } else {
            for (; *p >= u'0' && *p <= u'9'; ++p) width = width * 10 + static_cast<size_t>(*p - u'0');
        }

        int precision = -1;
        if (*p == u'.') {
            ++p;
            precision = 0;
            if (*p == u'*') {
                precision = args.Next<int>();
                if (precision < 0) precision = -1;
                ++p;
            } else {
                // Saturated: more digits than an int holds is still "more than any buffer".
                for (; *p >= u'0' && *p <= u'9'; ++p)
                    precision = precision > (INT_MAX - 9) / 10 ? INT_MAX : precision * 10 + (*p - u'0');
            }
        }

        Size size = Size::Default;
        switch (*p) {
        case u'h':
            ++p;
            size = Size::Short;
            if (*p == u'h') size = Size::Char, ++p;
            break;
        case u'l':
            ++p;
            size = Size::Long;
            if (*p == u'l') size = Size::LongLong, ++p;
            break;
        case u'L':
        case u'j':
            ++p;
            size = Size::LongLong;
            break;
        case u'w':
            ++p;
            size = Size::Wide;
            break;
        case u'z':
        case u't':
            ++p;
            size = Size::Pointer;
            break;
        case u'I':
            if (p[1] == u'6' && p[2] == u'4') {
                size = Size::LongLong, p += 3;
            } else if (p[1] == u'3' && p[2] == u'2') {
                size = Size::Long, p += 3;
            } else {
                size = Size::Pointer, ++p;
            }
            break;
        default:
            break;
        }

        const WCHAR type = *p;
        switch (type) {
        case u'c':
        case u'C': {
            const bool narrow = size == Size::Short || (type == u'C' && size != Size::Long && size != Size::Wide);
            const int value = args.Next<int>();
            const WCHAR c = narrow ? static_cast<WCHAR>(static_cast<unsigned char>(value))
                                   : static_cast<WCHAR>(value);
            EmitField(out, {}, 0, {&c, 1}, width, left);
            break;
        }
        case u's':
        case u'S': {
            const bool narrow = size == Size::Short || (type == u'S' && size != Size::Long && size != Size::Wide);
            const size_t limit = precision >= 0 ? static_cast<size_t>(precision) : SIZE_MAX;
            if (narrow) {
                const char* s = args.Next<const char*>();
                if (!s) s = "(null)";
                EmitNarrowField(out, s, NarrowLength(s, limit), width, left);
            } else {
                const WCHAR* s = args.Next<const WCHAR*>();
                if (!s) s = kNullText;
                EmitField(out, {}, 0, {s, WideLength(s, limit)}, width, left);
            }
            break;
        }
        case u'd':
        case u'i':
        case u'u':
        case u'o':
        case u'x':
        case u'X':
        case u'p': {
            const bool isSigned = type == u'd' || type == u'i';
            if (type == u'p') size = Size::Pointer;
            uint64_t bits;
            int bitCount;
            switch (size) {
            case Size::LongLong:
                bits = args.Next<uint64_t>(), bitCount = 64;
                break;
            case Size::Pointer:
                bits = args.Next<uintptr_t>(), bitCount = 8 * sizeof(void*);
                break;
            default:  // int, and long, which is 32 bits on Windows
                bits = args.Next<unsigned>(), bitCount = 32;
                break;
            }
            if (size == Size::Short) bits &= 0xFFFF, bitCount = 16;
            if (size == Size::Char) bits &= 0xFF, bitCount = 8;

            IntegerField f;
            f.magnitude = bits;
            if (isSigned && bitCount < 64 && (bits >> (bitCount - 1)) & 1)
                f.magnitude = (uint64_t{1} << bitCount) - bits, f.negative = true;
            else if (isSigned && bitCount == 64 && static_cast<int64_t>(bits) < 0)
                f.magnitude = 0 - bits, f.negative = true;
            if (isSigned && !f.negative) f.positiveSign = plus ? u'+' : (space ? u' ' : 0);

            f.width = width;
            f.left = left;
            f.precision = precision;
            f.zeroFill = zero && precision < 0;
            if (type == u'o') {
                f.base = 8;
                if (alt) {
                    // '#' raises the precision just enough for the text to start with a zero.
                    const int n = f.magnitude == 0 ? (precision == 0 ? 0 : 1)
                                                   : static_cast<int>(Digits(f.magnitude, 8, false).View().size());
                    const bool startsWithZero = (f.magnitude == 0 && n == 1) || precision > n;
                    if (!startsWithZero) f.precision = n + 1;
                }
            } else if (type == u'x' || type == u'X') {
                f.base = 16;
                f.upper = type == u'X';
                if (alt && f.magnitude != 0) f.radixPrefix = f.upper ? u"0X" : u"0x";
            } else if (type == u'p') {
                f.base = 16;
                f.upper = true;
                f.precision = 2 * sizeof(void*);
                f.zeroFill = false;
            }
            EmitInteger(out, f);
            break;
        }
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            EmitFloat(out, args.Next<double>(), type, left, plus, space, alt, zero, width, precision);
            break;
        default:
            // An unknown type, %n (never allowed here: it writes through an argument), or a
            // format that ends inside a specification.
            if (strict) return false;
            continue;
        }
        ++p;
    }
    return true;
}

}  // namespace

int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args) {
    if (!out) return 0;
    Sink sink(out, kWsprintfLimit - 1);
    if (format) {
        ArgList list(args);
        WsprintfFormat(sink, format, list);
    }
    out[sink.Length()] = 0;
    return static_cast<int>(sink.Length());
}

int wsprintfW(LPWSTR out, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    const int n = wvsprintfW(out, format, args);
    va_end(args);
    return n;
}

int vswprintf_s(WCHAR* out, size_t size, const WCHAR* format, va_list args) {
    if (!format || !out || size == 0) {
        if (out && size) out[0] = 0;
        errno = EINVAL;
        return -1;
    }
    Sink sink(out, size - 1);
    ArgList list(args);
    if (!CrtFormat(sink, format, list, true)) {
        out[0] = 0;
        errno = EINVAL;
        return -1;
    }
    if (sink.Overflowed()) {
        out[0] = 0;
        errno = ERANGE;
        return -1;
    }
    out[sink.Length()] = 0;
    return static_cast<int>(sink.Length());
}

int swprintf_s(WCHAR* out, size_t size, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = vswprintf_s(out, size, format, args);
    va_end(args);
    return n;
}

int _snwprintf(WCHAR* out, size_t count, const WCHAR* format, ...) {
    if (!format || (!out && count)) {
        errno = EINVAL;
        return -1;
    }
    va_list args;
    va_start(args, format);
    Sink sink(out, count);
    {
        ArgList list(args);
        CrtFormat(sink, format, list, false);
    }
    va_end(args);
    // Text that fills the buffer exactly is left unterminated; longer text is cut and -1.
    if (sink.Overflowed()) return -1;
    if (sink.Length() < count) out[sink.Length()] = 0;
    return static_cast<int>(sink.Length());
}
