// USER32's wsprintfW: its conversions, padding, narrow and wide arguments, and the
// 1024-character limit it applies whatever the buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "wide_test_support.h"

namespace {

constexpr size_t kLimit = 1024;  // characters wsprintfW may write, terminator included

// A buffer larger than the limit so that a write past it can be seen.
class Wsprintf : public ::testing::Test {
protected:
    Wsprintf() : buffer_(kLimit + 64, WCHAR(0x7E7E)) {}
    WCHAR* out() { return buffer_.data(); }
    WideText text() const { return WideText(buffer_.data()); }
    std::vector<WCHAR> buffer_;
};

TEST_F(Wsprintf, ReturnsTheLengthWithoutTerminator) {
    EXPECT_EQ(wsprintfW(out(), TEXT("kwl at PrinterInfo %s %d"), TEXT("GetAppPath()"), 3), 33);
    EXPECT_EQ(text(), TEXT("kwl at PrinterInfo GetAppPath() 3"));
    EXPECT_EQ(wsprintfW(out(), TEXT("")), 0);
    EXPECT_EQ(out()[0], 0);
    EXPECT_EQ(wsprintfW(out(), TEXT("100%%")), 4);
    EXPECT_EQ(text(), TEXT("100%"));
}

TEST_F(Wsprintf, FormatsThirtyTwoBitIntegers) {
    wsprintfW(out(), TEXT("%d %i %d"), -42, 7, -2147483647 - 1);
    EXPECT_EQ(text(), TEXT("-42 7 -2147483648"));
    wsprintfW(out(), TEXT("%u %u"), -1, 3000000000u);
    EXPECT_EQ(text(), TEXT("4294967295 3000000000"));
    // Error codes: lower case, no prefix; a negative value shows its 32-bit pattern.
    wsprintfW(out(), TEXT("%x %x %X %x"), 0x7B, 0, 0xABCDEF, -1);
    EXPECT_EQ(text(), TEXT("7b 0 ABCDEF ffffffff"));
    wsprintfW(out(), TEXT("%lx %ld %lu %lX"), static_cast<DWORD>(0x80070005), static_cast<LONG>(-5),
              static_cast<DWORD>(0xFFFFFFFF), static_cast<DWORD>(0xbeef));
    EXPECT_EQ(text(), TEXT("80070005 -5 4294967295 BEEF"));
    wsprintfW(out(), TEXT("%#x %#X"), 0x1F, 0x1F);
    EXPECT_EQ(text(), TEXT("0x1f 0X1F"));
}

TEST_F(Wsprintf, FormatsSixtyFourBitAndPointerSizedIntegers) {
    wsprintfW(out(), TEXT("%I64d|%I64u|%I64x|%I64X"), static_cast<LONGLONG>(-543210000000LL),
              static_cast<ULONGLONG>(-123LL), static_cast<ULONGLONG>(0x123450067890AULL),
              static_cast<ULONGLONG>(0xFFFFFFFFFFFEDCBBULL));
    EXPECT_EQ(text(), TEXT("-543210000000|18446744073709551493|123450067890a|FFFFFFFFFFFEDCBB"));
    // I32 reads 32 bits even when 64 were passed.
    wsprintfW(out(), TEXT("%I32x"), static_cast<ULONGLONG>(0x123450067890AULL));
    EXPECT_EQ(text(), TEXT("67890a"));

    // %p: upper-case hexadecimal, zero-padded to the pointer's width, no prefix.
    wsprintfW(out(), TEXT("%p"), reinterpret_cast<void*>(static_cast<uintptr_t>(0x1234ABCD)));
    EXPECT_EQ(text(), sizeof(void*) == 8 ? TEXT("000000001234ABCD") : TEXT("1234ABCD"));
}

TEST_F(Wsprintf, PadsToWidthAndPrecision) {
    wsprintfW(out(), TEXT("[%5d][%-5d][%05d][%05d]"), 42, 42, 42, -42);
    EXPECT_EQ(text(), TEXT("[   42][42   ][00042][-0042]"));
    wsprintfW(out(), TEXT("[%010ld]"), -1);
    EXPECT_EQ(text(), TEXT("[-000000001]"));
    wsprintfW(out(), TEXT("[%08x][%8X][%-8x]"), 0x5, 0xAB, 0xAB);
    EXPECT_EQ(text(), TEXT("[00000005][      AB][ab      ]"));
    wsprintfW(out(), TEXT("[%.3d][%2d]"), 7, 12345);  // a width never cuts a number
    EXPECT_EQ(text(), TEXT("[007][12345]"));
    // '-' wins over '0': padding goes to the right, with spaces.
    wsprintfW(out(), TEXT("[%-05d]"), 3);
    EXPECT_EQ(text(), TEXT("[3    ]"));
}

TEST_F(Wsprintf, FormatsWideAndNarrowStrings) {
    wsprintfW(out(), TEXT("%s|%ls|%ws|%hs|%S"), TEXT("wide"), TEXT("ls"), TEXT("ws"), "narrow", "S");
    EXPECT_EQ(text(), TEXT("wide|ls|ws|narrow|S"));
    wsprintfW(out(), TEXT("[%8s][%-8s][%.3s][%6.2s]"), TEXT("COM1:"), TEXT("COM1:"), TEXT("COM1:"),
              TEXT("COM1:"));
    EXPECT_EQ(text(), TEXT("[   COM1:][COM1:   ][COM][    CO]"));
    wsprintfW(out(), TEXT("[%.3hs][%5hs]"), "LPT1:", "x");
    EXPECT_EQ(text(), TEXT("[LPT][    x]"));
}

TEST_F(Wsprintf, PrintsNullStringsAsNull) {
    const WCHAR* noWide = nullptr;
    const char* noNarrow = nullptr;
    EXPECT_EQ(wsprintfW(out(), TEXT("%s/%hs"), noWide, noNarrow), 13);
    EXPECT_EQ(text(), TEXT("(null)/(null)"));
}

TEST_F(Wsprintf, CopiesNonAsciiTextAndSurrogatePairsUntouched) {
    const WCHAR* name = TEXT("\u6253\u5370\u673A ") PRINTER_SYMBOL TEXT(" \u00C9");
    EXPECT_EQ(wsprintfW(out(), TEXT("<%s>\u00B0"), name), 11);
    EXPECT_EQ(text(), TEXT("<\u6253\u5370\u673A ") PRINTER_SYMBOL TEXT(" \u00C9>\u00B0"));
}

TEST_F(Wsprintf, FormatsCharacters) {
    wsprintfW(out(), TEXT("%c%c%lc%hc%C[%3c]"), TEXT('a'), 0x4E2D, TEXT('w'), 'n', 'N', TEXT('r'));
    EXPECT_EQ(text(), TEXT("a\u4E2Dwn" "N[  r]"));
}

TEST_F(Wsprintf, KnowsNoFloatingPointOrStarWidth) {
    // An unknown conversion prints its letter and takes no argument.
    wsprintfW(out(), TEXT("%f|%d"), 5);
    EXPECT_EQ(text(), TEXT("f|5"));
    wsprintfW(out(), TEXT("%+d|%d"), 6);
    EXPECT_EQ(text(), TEXT("+d|6"));
}

TEST_F(Wsprintf, WritesAtMost1023CharactersAndATerminator) {
    const WideText longName(2000, TEXT('n'));
    wsprintfW(out(), TEXT("name=%s"), longName.c_str());
    EXPECT_EQ(text(), TEXT("name=") + WideText(kLimit - 1 - 5, TEXT('n')));
    EXPECT_EQ(out()[kLimit - 1], 0);
    EXPECT_EQ(out()[kLimit], 0x7E7E);  // nothing beyond the limit is touched
}

TEST_F(Wsprintf, TruncatedTextReportsTheCharactersWritten) {
    const WideText longName(2000, TEXT('n'));
    EXPECT_EQ(wsprintfW(out(), TEXT("name=%s"), longName.c_str()), static_cast<int>(kLimit - 1));
}

TEST_F(Wsprintf, LimitAppliesToLiteralTextAndPadding) {
    const WideText exact(kLimit - 1, TEXT('x'));
    EXPECT_EQ(wsprintfW(out(), exact.c_str()), static_cast<int>(kLimit - 1));
    EXPECT_EQ(text(), exact);

    const WideText tooLong(kLimit + 10, TEXT('y'));
    wsprintfW(out(), tooLong.c_str());
    EXPECT_EQ(text(), WideText(kLimit - 1, TEXT('y')));
    EXPECT_EQ(out()[kLimit], 0x7E7E);

    wsprintfW(out(), TEXT("%5000d"), 1);
    EXPECT_EQ(wcslen(out()), kLimit - 1);
    EXPECT_EQ(out()[kLimit], 0x7E7E);
}

TEST_F(Wsprintf, VariadicListForm) {
    struct Local {
        static int Format(LPWSTR out, LPCWSTR format, ...) {
            va_list args;
            va_start(args, format);
            const int n = wvsprintfW(out, format, args);
            va_end(args);
            return n;
        }
    };
    EXPECT_EQ(Local::Format(out(), TEXT("%s %x"), TEXT("err"), 0x57), 6);
    EXPECT_EQ(text(), TEXT("err 57"));
}

}  // namespace
