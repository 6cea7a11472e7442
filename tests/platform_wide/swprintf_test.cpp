// The runtime's swprintf_s and _snwprintf: the printf set, and what each does when the text
// does not fit.
#include <gtest/gtest.h>

#include <cstdint>

#include "wide_test_support.h"

namespace {

constexpr WCHAR kGuard = 0x7E7E;

class Swprintf : public ::testing::Test {
protected:
    Swprintf() {
        for (WCHAR& c : buffer_) c = kGuard;
    }
    void SetUp() override { errno = 0; }
    WideText text() const { return WideText(buffer_); }

    WCHAR buffer_[1100];
    QuietInvalidParameters quiet_;
};

TEST_F(Swprintf, FormatsTheCommandLineOfThePrintUi) {
    const int n = swprintf_s(buffer_, 1024,
                             TEXT("PRINTUI.DLL,PrintUIEntry /if /n \"%s\" /f \"%s\" /r \"%s\" /m \"%s\" "),
                             TEXT("Office"), TEXT("C:\\drv\\a.inf"), TEXT("USB001"), TEXT("Model 5"));
    EXPECT_EQ(text(), TEXT("PRINTUI.DLL,PrintUIEntry /if /n \"Office\" /f \"C:\\drv\\a.inf\" /r \"USB001\" "
                           "/m \"Model 5\" "));
    EXPECT_EQ(n, static_cast<int>(wcslen(buffer_)));
}

TEST_F(Swprintf, FormatsIntegersOfEverySize) {
    swprintf_s(buffer_, 1100, TEXT("%d %i %u %o %x %X"), -17, 4, -1, 8, 255, 255);
    EXPECT_EQ(text(), TEXT("-17 4 4294967295 10 ff FF"));
    swprintf_s(buffer_, 1100, TEXT("%ld %lu %lx"), static_cast<LONG>(-2), static_cast<DWORD>(0xFFFFFFFE),
               static_cast<DWORD>(0x80004005));
    EXPECT_EQ(text(), TEXT("-2 4294967294 80004005"));
    swprintf_s(buffer_, 1100, TEXT("%lld %I64d %I64u %I64x"), static_cast<LONGLONG>(INT64_MIN),
               static_cast<LONGLONG>(9000000000LL), static_cast<ULONGLONG>(UINT64_MAX),
               static_cast<ULONGLONG>(0xABCDEF0123ULL));
    EXPECT_EQ(text(), TEXT("-9223372036854775808 9000000000 18446744073709551615 abcdef0123"));
    swprintf_s(buffer_, 1100, TEXT("%hd %hu"), 70000, 70000);  // truncated to 16 bits
    EXPECT_EQ(text(), TEXT("4464 4464"));
    swprintf_s(buffer_, 1100, TEXT("%p"), reinterpret_cast<void*>(static_cast<uintptr_t>(0xBEEF)));
    EXPECT_EQ(text(), sizeof(void*) == 8 ? TEXT("000000000000BEEF") : TEXT("0000BEEF"));
}

TEST_F(Swprintf, AppliesFlagsWidthsAndPrecision) {
    swprintf_s(buffer_, 1100, TEXT("[%5d][%-5d][%05d][%+d][% d][%+d]"), 42, 42, -42, 5, 5, -5);
    EXPECT_EQ(text(), TEXT("[   42][42   ][-0042][+5][ 5][-5]"));
    swprintf_s(buffer_, 1100, TEXT("[%.3d][%.3d][%8.3d][%.0d][%05.2d]"), 7, -5, 7, 0, 3);
    EXPECT_EQ(text(), TEXT("[007][-005][     007][][   03]"));
    swprintf_s(buffer_, 1100, TEXT("[%#x][%#X][%#o][%#x][%#06x]"), 0x1F, 0x1F, 8, 0, 0x1F);
    EXPECT_EQ(text(), TEXT("[0x1f][0X1F][010][0][0x001f]"));
}

TEST_F(Swprintf, TakesWidthAndPrecisionFromTheArguments) {
    swprintf_s(buffer_, 1100, TEXT("[%*d][%-*d][%*d][%.*s][%*.*s]"), 4, 7, 4, 7, -4, 7, 3, TEXT("abcdef"), 5, 2,
               TEXT("xyz"));
    EXPECT_EQ(text(), TEXT("[   7][7   ][7   ][abc][   xy]"));
}

TEST_F(Swprintf, FormatsWideAndNarrowStringsAndCharacters) {
    swprintf_s(buffer_, 1100, TEXT("%s|%ls|%hs|%S|%c|%lc|%hc|%C"), TEXT("w"), TEXT("l"), "h", "S", TEXT('c'),
               TEXT('L'), 'H', 'C');
    EXPECT_EQ(text(), TEXT("w|l|h|S|c|L|H|C"));
    swprintf_s(buffer_, 1100, TEXT("[%6s][%-6s][%.2s][%.0s][%4hs]"), TEXT("LPT1"), TEXT("LPT1"), TEXT("LPT1"),
               TEXT("LPT1"), "ab");
    EXPECT_EQ(text(), TEXT("[  LPT1][LPT1  ][LP][][  ab]"));

    const WCHAR* none = nullptr;
    swprintf_s(buffer_, 1100, TEXT("%s"), none);
    EXPECT_EQ(text(), TEXT("(null)"));
}

TEST_F(Swprintf, CopiesSurrogatePairsUntouched) {
    EXPECT_EQ(swprintf_s(buffer_, 1100, TEXT("%s:%s"), PRINTER_SYMBOL, TEXT("\u00E9\u4E2D")), 5);
    EXPECT_EQ(text(), PRINTER_SYMBOL TEXT(":\u00E9\u4E2D"));
}

TEST_F(Swprintf, FormatsDoubles) {
    // No exact halves here: msvcrt rounds them away from zero, the simulated machine to even.
    swprintf_s(buffer_, 1100, TEXT("%f|%.2f|%8.3f|%-8.1f|%08.2f|%.0f"), 1.5, 3.14159, -2.5, 2.26, -3.5, 2.7);
    EXPECT_EQ(text(), TEXT("1.500000|3.14|  -2.500|2.3     |-0003.50|3"));
    // msvcrt prints at least three exponent digits.
    swprintf_s(buffer_, 1100, TEXT("%e|%.2E|%g|%g|%g"), 1500.0, 0.000123, 0.0001, 0.00001, 1e20);
    EXPECT_EQ(text(), TEXT("1.500000e+003|1.23E-004|0.0001|1e-005|1e+020"));
}

TEST_F(Swprintf, TextThatFitsExactlyIsWritten) {
    EXPECT_EQ(swprintf_s(buffer_, 6, TEXT("%s:"), TEXT("COM1")), 5);
    EXPECT_EQ(text(), TEXT("COM1:"));
    EXPECT_EQ(buffer_[6], kGuard);
    EXPECT_EQ(errno, 0);
}

TEST_F(Swprintf, TextThatDoesNotFitLeavesAnEmptyBufferAndMinusOne) {
    EXPECT_EQ(swprintf_s(buffer_, 5, TEXT("%s:"), TEXT("COM1")), -1);
    EXPECT_EQ(buffer_[0], 0);
    EXPECT_EQ(buffer_[5], kGuard);
    EXPECT_EQ(errno, ERANGE);

    EXPECT_EQ(swprintf_s(buffer_, 10, TEXT("%20d"), 1), -1);
    EXPECT_EQ(buffer_[0], 0);
    EXPECT_EQ(buffer_[10], kGuard);
}

TEST_F(Swprintf, RejectsMissingArguments) {
    EXPECT_EQ(swprintf_s(nullptr, 10, TEXT("x")), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(swprintf_s(buffer_, 0, TEXT("x")), -1);
    EXPECT_EQ(buffer_[0], kGuard);
}

TEST_F(Swprintf, CountedFormatterLeavesFullTextUnterminated) {
    EXPECT_EQ(_snwprintf(buffer_, 10, TEXT("%d-%s"), 12, TEXT("ab")), 5);
    EXPECT_EQ(text(), TEXT("12-ab"));

    for (WCHAR& c : buffer_) c = kGuard;
    EXPECT_EQ(_snwprintf(buffer_, 5, TEXT("%d-%s"), 12, TEXT("ab")), 5);
    EXPECT_EQ(WideText(buffer_, 5), TEXT("12-ab"));
    EXPECT_EQ(buffer_[5], kGuard);  // exactly full: no terminator

    for (WCHAR& c : buffer_) c = kGuard;
    EXPECT_EQ(_snwprintf(buffer_, 4, TEXT("%d-%s"), 12, TEXT("ab")), -1);
    EXPECT_EQ(WideText(buffer_, 4), TEXT("12-a"));
    EXPECT_EQ(buffer_[4], kGuard);
}

TEST_F(Swprintf, VariadicListForm) {
    struct Local {
        static int Format(WCHAR* out, size_t size, const WCHAR* format, ...) {
            va_list args;
            va_start(args, format);
            const int n = vswprintf_s(out, size, format, args);
            va_end(args);
            return n;
        }
    };
    EXPECT_EQ(Local::Format(buffer_, 1100, TEXT("%s=%u"), TEXT("Copies"), 2u), 8);
    EXPECT_EQ(text(), TEXT("Copies=2"));
    EXPECT_EQ(Local::Format(buffer_, 3, TEXT("%s=%u"), TEXT("Copies"), 2u), -1);
    EXPECT_EQ(buffer_[0], 0);
}

}  // namespace
