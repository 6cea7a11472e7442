// The wide formatters: wsprintfW and the runtime's swprintf_s / _snwprintf. The input
// chooses one conversion (flags, width or *, precision or *, size, type) between literal
// texts, its arguments, and the buffer size. Checked for every choice: nothing is written
// outside the buffer, results and terminators are as the functions promise, and a small
// buffer gets the start of the text a large one gets. Checked where Windows' runtime and
// C agree (integers, characters and strings, without the 0 flag on text): the text equals
// the host's printf's.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/win32.h"

// The host's printf is the reference here, with the formats the input makes.
#pragma clang diagnostic ignored "-Wformat-security"
#pragma clang diagnostic ignored "-Wformat-nonliteral"

namespace {

using Wide = std::basic_string<WCHAR>;

enum class Value { None, Int, Int64, Double, Text };

struct Conversion {
    std::string flags, width, precision, size;  // width and precision: digits, "*" or empty
    char type = 'd';
    int starWidth = 0, starPrecision = 0;
    Value value = Value::None;
    int intValue = 0;
    long long int64Value = 0;
    double doubleValue = 0;
    bool nullText = false;
};

std::string Digits(FuzzedDataProvider& in) {
    std::string d;
    for (int n = in.ConsumeIntegralInRange(1, 12); n > 0; --n) d += static_cast<char>('0' + in.ConsumeIntegralInRange(0, 9));
    return d;
}

std::string WidthOrPrecision(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return "";
    case 1: return "*";
    case 2: return std::to_string(in.ConsumeIntegralInRange(0, 40));
    default: return Digits(in);
    }
}

// What the argument is, by Windows' rules for the runtime; for wsprintfW the same argument
// is read by its own smaller set of sizes, which never reads a double.
Value RuntimeValue(const std::string& size, char type) {
    switch (type) {
    case 'c': case 'C': return Value::Int;
    case 's': case 'S': return Value::Text;
    case 'p': return Value::Int64;
    case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A': return Value::Double;
    case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
        return size == "ll" || size == "L" || size == "j" || size == "I64" || size == "z" || size == "t" || size == "I"
                   ? Value::Int64
                   : Value::Int;
    default: return Value::None;
    }
}

// Literal text around the conversion: as it prints, and as the format writes it.
Wide Literal(FuzzedDataProvider& in) {
    Wide out;
    for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) {
        WCHAR c = in.ConsumeIntegral<WCHAR>();
        out += c == 0 ? u'.' : c;
    }
    return out;
}
Wide Escaped(const Wide& literal) {
    Wide out;
    for (WCHAR c : literal) out += c == u'%' ? Wide(u"%%") : Wide(1, c);
    return out;
}

// A text that is a wide string of units with two non-zero bytes each, and so also a narrow
// string of twice as many bytes: whichever the formatter reads, it is terminated.
struct Text {
    std::vector<WCHAR> units;
    Wide Widened() const { return {units.data()}; }
    std::string Narrow() const { return {reinterpret_cast<const char*>(units.data())}; }
};

// Calls f(stars..., value) with the arguments the conversion takes.
template <class F>
int Call(const Conversion& c, const Text& text, F f) {
    auto withValue = [&](auto... stars) {
        switch (c.value) {
        case Value::Int: return f(stars..., c.intValue);
        case Value::Int64: return f(stars..., c.int64Value);
        case Value::Double: return f(stars..., c.doubleValue);
        case Value::Text: return f(stars..., c.nullText ? nullptr : static_cast<const void*>(text.units.data()));
        case Value::None: break;
        }
        return f(stars...);
    };
    const bool w = c.width == "*", p = c.precision == "*";
    if (w && p) return withValue(c.starWidth, c.starPrecision);
    if (w) return withValue(c.starWidth);
    if (p) return withValue(c.starPrecision);
    return withValue();
}

// The text the host's printf gives for the conversion, where Windows' runtime agrees with
// C; false where it need not.
bool Expected(const Conversion& c, const Text& text, Wide& out) {
    const bool integer = std::string("diuoxX").find(c.type) != std::string::npos;
    const bool zero = c.flags.find('0') != std::string::npos;
    const bool narrowText = c.size == "h" || (c.type == 'S' && c.size != "l" && c.size != "w");
    if (!integer && c.type != 's' && c.type != 'S' && c.type != 'c' && c.type != 'C') return false;
    if (!integer && (zero || c.nullText)) return false;
    if (c.size == "w" && integer) return false;
    if (c.width.size() > 6 || c.precision.size() > 6 || c.starWidth < -100000 || c.starWidth > 100000 ||
        c.starPrecision < -100000 || c.starPrecision > 100000)
        return false;
    // Sizes on text whose meaning Windows leaves open.
    if (!integer && c.size != "" && c.size != "h" && c.size != "l" && c.size != "w") return false;
    std::string spec = "%" + c.flags + c.width + (c.precision.empty() ? "" : "." + c.precision);
    static std::vector<char> buf(1 << 20);
    int n;
    if (integer) {
        const bool wide64 = c.value == Value::Int64;
        spec += wide64 ? "ll" : c.size == "h" || c.size == "hh" ? c.size : "";
        spec += c.type;
        n = Call(c, text, [&](auto... a) { return std::snprintf(buf.data(), buf.size(), spec.c_str(), a...); });
    } else if (c.type == 'c' || c.type == 'C') {
        // One character, padded: the host prints a placeholder where it goes.
        const bool narrow = c.size == "h" || (c.type == 'C' && c.size != "l" && c.size != "w");
        spec += 'c';
        Conversion placeholder = c;
        placeholder.intValue = 1;
        n = Call(placeholder, text, [&](auto... a) { return std::snprintf(buf.data(), buf.size(), spec.c_str(), a...); });
        if (n < 0) return false;
        for (int i = 0; i < n; ++i)
            out += buf[i] == 1 ? (narrow ? static_cast<WCHAR>(static_cast<unsigned char>(c.intValue))
                                         : static_cast<WCHAR>(c.intValue))
                               : static_cast<WCHAR>(static_cast<unsigned char>(buf[i]));
        return true;
    } else if (narrowText) {
        spec += 's';
        const std::string narrow = text.Narrow();
        Conversion t = c;
        t.value = Value::None;
        n = Call(t, text, [&](auto... a) { return std::snprintf(buf.data(), buf.size(), spec.c_str(), a..., narrow.c_str()); });
    } else {
        // A wide string by its units: the host pads a narrow one of the same length.
        const Wide wide = text.Widened();
        spec += 's';
        const std::string placeholders(wide.size(), '\x01');
        Conversion t = c;
        t.value = Value::None;
        n = Call(t, text, [&](auto... a) { return std::snprintf(buf.data(), buf.size(), spec.c_str(), a..., placeholders.c_str()); });
        if (n < 0) return false;
        size_t next = 0;
        for (int i = 0; i < n; ++i) out += buf[i] == 1 ? wide[next++] : static_cast<WCHAR>(buf[i]);
        return true;
    }
    if (n < 0 || n >= static_cast<int>(buf.size())) return false;
    for (int i = 0; i < n; ++i) out += static_cast<WCHAR>(static_cast<unsigned char>(buf[i]));
    return true;
}

void CheckWsprintf(const Wide& format, const Conversion& c, const Text& text) {
    // USER32 writes at most 1024 characters, terminator included: a buffer of exactly that.
    std::vector<WCHAR> out(1024, 0x7777);
    const int n = Call(c, text, [&](auto... a) { return wsprintfW(out.data(), format.c_str(), a...); });
    fuzz::Require(n >= 0 && n <= 1023 && out[static_cast<size_t>(n)] == 0, "wsprintfW: length or terminator",
                  std::to_string(n));
}

void CheckRuntime(const Wide& format, const Wide& before, const Wide& after, const Conversion& c, const Text& text,
                  size_t size) {
    constexpr size_t kLarge = 8192;
    const std::string shown = fuzz::Show(std::u16string(format.begin(), format.end())) + " in " + std::to_string(size);
    std::vector<WCHAR> large(kLarge);
    errno = 0;
    const int full = Call(c, text, [&](auto... a) { return swprintf_s(large.data(), kLarge, format.c_str(), a...); });
    const int fullErrno = errno;
    fuzz::Require(full >= -1 && full < static_cast<int>(kLarge), "swprintf_s: result", std::to_string(full));
    Wide whole;
    if (full >= 0) {
        fuzz::Require(large[static_cast<size_t>(full)] == 0, "swprintf_s: no terminator");
        whole.assign(large.data(), static_cast<size_t>(full));
    } else {
        fuzz::Require(large[0] == 0 && (fullErrno == EINVAL || fullErrno == ERANGE), "swprintf_s: failure not shown");
    }

    if (Wide field; full >= 0 && Expected(c, text, field)) {
        const Wide expected = before + field + after;
        fuzz::Require(whole == expected, "swprintf_s differs from C's printf",
                      shown + " gave " + fuzz::Show(std::u16string(whole.begin(), whole.end())) + ", C " +
                          fuzz::Show(std::u16string(expected.begin(), expected.end())));
    }

    // A buffer of the chosen size, exactly: the text if it fits, else -1 and an empty buffer.
    std::vector<WCHAR> small(size, 0x7777);
    errno = 0;
    const int fitted = Call(c, text, [&](auto... a) { return swprintf_s(small.data(), size, format.c_str(), a...); });
    if (full >= 0 && static_cast<size_t>(full) < size) {
        fuzz::Require(fitted == full && Wide(small.data(), static_cast<size_t>(fitted)) == whole && small[static_cast<size_t>(fitted)] == 0,
                      "swprintf_s: a fitting text differs in a smaller buffer", shown);
    } else if (full >= 0 || fullErrno == ERANGE) {
        fuzz::Require(fitted == -1 && small[0] == 0 && errno == ERANGE, "swprintf_s: text too long not refused",
                      shown + ": " + std::to_string(fitted));
    }

    // _snwprintf: the legacy function takes every format; what swprintf_s accepts it prints
    // the same, and a smaller count cuts the same text.
    std::vector<WCHAR> legacyLarge(kLarge);
    const int legacyFull = Call(c, text, [&](auto... a) { return _snwprintf(legacyLarge.data(), kLarge, format.c_str(), a...); });
    if (full >= 0)
        fuzz::Require(legacyFull == full && Wide(legacyLarge.data(), static_cast<size_t>(full)) == whole,
                      "_snwprintf and swprintf_s differ", shown);
    if (legacyFull < 0) return;
    const Wide legacyWhole(legacyLarge.data(), static_cast<size_t>(legacyFull));
    std::vector<WCHAR> cut(size, 0x7777);
    const int cutLength = Call(c, text, [&](auto... a) { return _snwprintf(cut.data(), size, format.c_str(), a...); });
    const std::string cutShown = shown + ": " + std::to_string(cutLength) + " of " + std::to_string(legacyFull) + " " +
                                 fuzz::Show(std::u16string(legacyWhole.begin(), legacyWhole.end()));
    const size_t length = legacyWhole.size();
    if (length < size)
        fuzz::Require(cutLength == legacyFull && Wide(cut.data(), length) == legacyWhole && cut[length] == 0,
                      "_snwprintf: a fitting text differs", shown);
    else if (length == size)
        fuzz::Require(cutLength == legacyFull && Wide(cut.data(), size) == legacyWhole, "_snwprintf: an exact fit differs", shown);
    else
        fuzz::Require(cutLength == -1 && Wide(cut.data(), size) == legacyWhole.substr(0, size),
                      "_snwprintf: a cut text is not the start of the whole", cutShown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Conversion c;
    static const char* const kSizes[] = {"", "", "h", "hh", "l", "ll", "L", "j", "w", "z", "t", "I", "I32", "I64"};
    static const char kTypes[] = "cCsSdiuoxXpeEfFgGaAn";
    for (int n = in.ConsumeIntegralInRange(0, 5); n > 0; --n) c.flags += "-+ #0"[in.ConsumeIntegralInRange(0, 4)];
    c.width = WidthOrPrecision(in);
    c.precision = WidthOrPrecision(in);
    c.size = kSizes[in.ConsumeIntegralInRange<size_t>(0, std::size(kSizes) - 1)];
    c.type = in.ConsumeBool() ? kTypes[in.ConsumeIntegralInRange<size_t>(0, sizeof kTypes - 2)] : in.ConsumeIntegral<char>();
    // Any other type ends the conversion as text; a character of the conversion's own
    // grammar would make it a different conversion, with arguments not given.
    if (c.type == 0 || std::string("%*.0123456789-+ #hlLjwztI").find(c.type) != std::string::npos) c.type = 'd';
    c.starWidth = in.ConsumeIntegral<int>();
    c.starPrecision = in.ConsumeIntegral<int>();
    c.value = RuntimeValue(c.size, c.type);
    c.intValue = in.ConsumeIntegral<int>();
    c.int64Value = in.ConsumeIntegral<long long>();
    c.doubleValue = in.ConsumeFloatingPoint<double>();
    c.nullText = in.ConsumeIntegralInRange(0, 7) == 0;
    const size_t bufferSize = in.ConsumeIntegralInRange<size_t>(1, 80);
    Text text;
    for (int n = in.ConsumeIntegralInRange(0, 20); n > 0; --n)
        text.units.push_back(static_cast<WCHAR>(in.ConsumeIntegralInRange(1, 255) | in.ConsumeIntegralInRange(1, 255) << 8));
    text.units.push_back(0);
    const Wide before = Literal(in), after = Literal(in);

    std::string spec = "%" + c.flags + c.width + (c.precision.empty() ? "" : "." + c.precision) + c.size + c.type;
    const Wide format = Escaped(before) + Wide(spec.begin(), spec.end()) + Escaped(after);
    CheckRuntime(format, before, after, c, text, bufferSize);
    // wsprintfW has no '*' and reads no double: a conversion it would misread is not given.
    if (c.width != "*" && c.precision != "*" && c.value != Value::Double) CheckWsprintf(format, c, text);
    return 0;
}
