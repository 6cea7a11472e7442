// Lengths, comparisons, searches, case and number conversions of 16-bit wide text.
#include <gtest/gtest.h>

#include "wide_test_support.h"

namespace {

TEST(WideLength, CountsUtf16UnitsNotCharacters) {
    EXPECT_EQ(wcslen(TEXT("")), 0u);
    EXPECT_EQ(wcslen(TEXT("COM1:")), 5u);
    EXPECT_EQ(wcslen(TEXT("a") PRINTER_SYMBOL TEXT("b")), 4u);
    EXPECT_EQ(wcsnlen(TEXT("LPT1:"), 3), 3u);
    EXPECT_EQ(wcsnlen(TEXT("LPT1:"), 99), 5u);
    EXPECT_EQ(wcsnlen(TEXT("LPT1:"), 0), 0u);
}

TEST(WideCompare, OrdersByUnsignedCodeUnit) {
    EXPECT_EQ(wcscmp(TEXT("FILE:"), TEXT("FILE:")), 0);
    EXPECT_LT(wcscmp(TEXT("COM1"), TEXT("COM2")), 0);
    EXPECT_LT(wcscmp(TEXT("COM"), TEXT("COM1")), 0);
    EXPECT_GT(wcscmp(TEXT("COM1"), TEXT("COM")), 0);
    // Units at and above 0x8000 sort after ASCII: the comparison is not signed.
    EXPECT_GT(wcscmp(TEXT("\u00E9"), TEXT("z")), 0);
    EXPECT_GT(wcscmp(TEXT("\uFF21"), TEXT("z")), 0);
    EXPECT_GT(wcscmp(PRINTER_SYMBOL, TEXT("\u00FF")), 0);
}

TEST(WideCompare, BoundedCompareStopsAfterCountOrTerminator) {
    EXPECT_EQ(wcsncmp(TEXT("LPT1:"), TEXT("LPT2:"), 3), 0);
    EXPECT_LT(wcsncmp(TEXT("LPT1:"), TEXT("LPT2:"), 4), 0);
    EXPECT_EQ(wcsncmp(TEXT("a"), TEXT("b"), 0), 0);
    EXPECT_EQ(wcsncmp(TEXT("ab"), TEXT("ab"), 50), 0);  // nothing read past the terminator
    EXPECT_LT(wcsncmp(TEXT("ab"), TEXT("abc"), 50), 0);
}

TEST(WideCompare, IgnoresCaseOfAsciiLettersOnly) {
    EXPECT_EQ(_wcsicmp(TEXT("Usb001"), TEXT("USB001")), 0);
    EXPECT_EQ(_wcsicmp(TEXT(""), TEXT("")), 0);
    EXPECT_LT(_wcsicmp(TEXT("com1"), TEXT("COM2")), 0);
    EXPECT_GT(_wcsicmp(TEXT("LPT10"), TEXT("lpt1")), 0);
    // Letters fold to lower case before comparing, so '_' (0x5F) sorts before any letter.
    EXPECT_LT(_wcsicmp(TEXT("_"), TEXT("A")), 0);
    EXPECT_GT(_wcsicmp(TEXT("a"), TEXT("_")), 0);
    // In the "C" locale non-ASCII letters keep their case.
    EXPECT_NE(_wcsicmp(TEXT("\u00C4"), TEXT("\u00E4")), 0);
}

TEST(WideCompare, BoundedCaseInsensitiveCompare) {
    EXPECT_EQ(_wcsnicmp(TEXT("lpt1:"), TEXT("LPT3:"), 3), 0);
    EXPECT_NE(_wcsnicmp(TEXT("lpt1:"), TEXT("LPT3:"), 4), 0);
    EXPECT_EQ(_wcsnicmp(TEXT("x"), TEXT("y"), 0), 0);
    EXPECT_EQ(_wcsnicmp(TEXT("Abc"), TEXT("aBC"), 10), 0);
    EXPECT_NE(_wcsnicmp(TEXT("Abc"), TEXT("aBCd"), 10), 0);
}

TEST(WideSearch, FindsCharacters) {
    WCHAR path[] = TEXT("C:\\Drivers\\x64\\model.inf");
    EXPECT_EQ(wcschr(path, TEXT('\\')), path + 2);
    EXPECT_EQ(wcsrchr(path, TEXT('\\')), path + 14);
    EXPECT_EQ(wcschr(path, TEXT('?')), nullptr);
    EXPECT_EQ(wcsrchr(path, TEXT('?')), nullptr);
    // The terminator is part of the string and can be searched for.
    EXPECT_EQ(wcschr(path, TEXT('\0')), path + wcslen(path));
    EXPECT_EQ(wcsrchr(path, TEXT('\0')), path + wcslen(path));

    const WCHAR* constPath = path;
    EXPECT_EQ(wcschr(constPath, TEXT('m')), path + 15);
}

TEST(WideSearch, FindsSubstrings) {
    const WCHAR* device = TEXT("\\\\?\\usb#vid_0483&pid_5720#0001");
    EXPECT_EQ(wcsstr(device, TEXT("vid_0483&pid_5720")), device + 8);
    EXPECT_EQ(wcsstr(device, TEXT("VID_0483")), nullptr);  // the search is exact
    EXPECT_EQ(wcsstr(device, TEXT("")), device);
    const WCHAR* empty = TEXT("");
    EXPECT_EQ(wcsstr(empty, TEXT("")), empty);
    EXPECT_EQ(wcsstr(TEXT("ab"), TEXT("abc")), nullptr);

    // A partial match must not make the search skip the real one.
    const WCHAR* text = TEXT("aaab");
    EXPECT_EQ(wcsstr(text, TEXT("aab")), text + 1);

    WCHAR mixed[] = TEXT("x") PRINTER_SYMBOL TEXT("y");
    EXPECT_EQ(wcsstr(mixed, PRINTER_SYMBOL), mixed + 1);
}

TEST(WideCase, ConvertsAsciiLettersInPlace) {
    WCHAR path[] = TEXT("\\\\?\\USB#VID_0483&PID_5720");
    EXPECT_EQ(_wcslwr(path), path);
    EXPECT_EQ(WideText(path), TEXT("\\\\?\\usb#vid_0483&pid_5720"));
    EXPECT_EQ(_wcsupr(path), path);
    EXPECT_EQ(WideText(path), TEXT("\\\\?\\USB#VID_0483&PID_5720"));
}

TEST(WideCase, LeavesNonAsciiTextAsItIs) {
    // The "C" locale folds ASCII only; everything else, surrogates included, stays.
    WCHAR text[] = TEXT("Gr\u00FC\u00DFe \u00C4") PRINTER_SYMBOL TEXT("Z");
    _wcslwr(text);
    EXPECT_EQ(WideText(text), TEXT("gr\u00FC\u00DFe \u00C4") PRINTER_SYMBOL TEXT("z"));
    _wcsupr(text);
    EXPECT_EQ(WideText(text), TEXT("GR\u00FC\u00DFE \u00C4") PRINTER_SYMBOL TEXT("Z"));
}

TEST(WideCase, BoundedLowerCaseChecksTheTerminator) {
    QuietInvalidParameters quiet;
    WCHAR text[8] = TEXT("MiXeD");
    EXPECT_EQ(_wcslwr_s(text, 8), 0);
    EXPECT_EQ(WideText(text), TEXT("mixed"));

    WCHAR unterminated[4] = {TEXT('A'), TEXT('B'), TEXT('C'), TEXT('D')};
    errno = 0;
    EXPECT_EQ(_wcslwr_s(unterminated, 4), EINVAL);
    EXPECT_EQ(unterminated[0], 0);
    EXPECT_EQ(errno, EINVAL);

    EXPECT_EQ(_wcslwr_s(nullptr, 4), EINVAL);
}

TEST(WideToInteger, ParsesSignsBasesAndStopsAtTheFirstNonDigit) {
    WCHAR* end = nullptr;
    const WCHAR* text = TEXT("  -42 ms");
    EXPECT_EQ(wcstol(text, &end, 10), -42);
    EXPECT_EQ(end, text + 5);

    EXPECT_EQ(wcstol(TEXT("+17"), nullptr, 10), 17);
    EXPECT_EQ(wcstol(TEXT("1F"), nullptr, 16), 31);
    EXPECT_EQ(wcstol(TEXT("0x1f"), nullptr, 16), 31);
    EXPECT_EQ(wcstol(TEXT("0x1f"), nullptr, 0), 31);
    EXPECT_EQ(wcstol(TEXT("017"), nullptr, 0), 15);
    EXPECT_EQ(wcstol(TEXT("17"), nullptr, 0), 17);
    EXPECT_EQ(wcstol(TEXT("1012"), nullptr, 2), 5);
    EXPECT_EQ(wcstol(TEXT("zz"), nullptr, 36), 1295);

    const WCHAR* none = TEXT("port");
    end = nullptr;
    EXPECT_EQ(wcstol(none, &end, 10), 0);
    EXPECT_EQ(end, none);  // nothing converted: the end is the start

    const WCHAR* sign = TEXT("-x");
    EXPECT_EQ(wcstol(sign, &end, 10), 0);
    EXPECT_EQ(end, sign);
}

TEST(WideToInteger, ClampsToTheThirtyTwoBitRangeOfWindowsLong) {
    errno = 0;
    EXPECT_EQ(wcstol(TEXT("2147483647"), nullptr, 10), 2147483647L);
    EXPECT_EQ(wcstol(TEXT("-2147483648"), nullptr, 10), -2147483647L - 1);
    EXPECT_EQ(errno, 0);

    WCHAR* end = nullptr;
    const WCHAR* big = TEXT("99999999999999999999x");
    EXPECT_EQ(wcstol(big, &end, 10), 2147483647L);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(end, big + 20);  // every digit is consumed even past the range

    errno = 0;
    EXPECT_EQ(wcstol(TEXT("-2147483649"), nullptr, 10), -2147483647L - 1);
    EXPECT_EQ(errno, ERANGE);

    errno = 0;
    EXPECT_EQ(wcstoul(TEXT("4294967295"), nullptr, 10), 4294967295UL);
    EXPECT_EQ(wcstoul(TEXT("FFFFFFFF"), nullptr, 16), 4294967295UL);
    EXPECT_EQ(errno, 0);
    EXPECT_EQ(wcstoul(TEXT("4294967296"), nullptr, 10), 4294967295UL);
    EXPECT_EQ(errno, ERANGE);

    // A minus sign negates within the unsigned 32-bit range.
    errno = 0;
    EXPECT_EQ(wcstoul(TEXT("-1"), nullptr, 10), 4294967295UL);
    EXPECT_EQ(wcstoul(TEXT("-2"), nullptr, 10), 4294967294UL);
    EXPECT_EQ(errno, 0);
}

TEST(WideToInteger, Wtoi) {
    EXPECT_EQ(_wtoi(TEXT("9100")), 9100);
    EXPECT_EQ(_wtoi(TEXT("  -7 copies")), -7);
    EXPECT_EQ(_wtoi(TEXT("12abc")), 12);
    EXPECT_EQ(_wtoi(TEXT("abc")), 0);
    EXPECT_EQ(_wtoi(TEXT("")), 0);
    EXPECT_EQ(_wtoi(TEXT("0x10")), 0);  // decimal only
}

TEST(WideUnboundedCopy, CopiesPadsAndAppends) {
    WCHAR buffer[16];
    EXPECT_EQ(wcscpy(buffer, TEXT("COM") PRINTER_SYMBOL), buffer);
    EXPECT_EQ(WideText(buffer), TEXT("COM") PRINTER_SYMBOL);
    EXPECT_EQ(wcscat(buffer, TEXT("1:")), buffer);
    EXPECT_EQ(WideText(buffer), TEXT("COM") PRINTER_SYMBOL TEXT("1:"));

    // wcsncpy fills the rest of the count with zeros, and leaves a longer source unterminated.
    for (WCHAR& c : buffer) c = TEXT('#');
    wcsncpy(buffer, TEXT("ab"), 5);
    EXPECT_EQ(WideText(buffer, 6), WideText(TEXT("ab\0\0\0#"), 6));
    for (WCHAR& c : buffer) c = TEXT('#');
    wcsncpy(buffer, TEXT("abcdef"), 3);
    EXPECT_EQ(WideText(buffer, 4), TEXT("abc#"));
}

}  // namespace
