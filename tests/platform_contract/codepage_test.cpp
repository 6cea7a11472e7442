// Code-page conversions: UTF-8 and the ANSI code page, size calls, short buffers, the -1
// length that includes the terminator, and characters the ANSI code page cannot hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "contract_support.h"

namespace contract {
namespace {

// "Drovan 中文 é" and a character beyond the BMP (U+1F5A8), in UTF-16 and in UTF-8.
const WCHAR kWide[] = TEXT("Drovan \u4E2D\u6587 \u00E9 \U0001F5A8");
const char kUtf8[] = "Drovan \xE4\xB8\xAD\xE6\x96\x87 \xC3\xA9 \xF0\x9F\x96\xA8";
constexpr int kWideLength = sizeof kWide / sizeof kWide[0] - 1;
constexpr int kUtf8Length = sizeof kUtf8 - 1;

TEST(CodePageUtf8, RoundTripAndSizeCalls) {
    SetLastError(kPoison);
    int needed = WideCharToMultiByte(CP_UTF8, 0, kWide, kWideLength, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(needed, kUtf8Length) << "the size call (cbMultiByte 0) counts bytes, no terminator";
    needed = WideCharToMultiByte(CP_UTF8, 0, kWide, -1, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(needed, kUtf8Length + 1) << "with length -1 the terminator is counted";

    char bytes[64];
    std::memset(bytes, 'x', sizeof bytes);
    int written = WideCharToMultiByte(CP_UTF8, 0, kWide, -1, bytes, sizeof bytes, nullptr, nullptr);
    ASSERT_EQ(written, kUtf8Length + 1);
    EXPECT_EQ(std::string(bytes, written), std::string(kUtf8, kUtf8Length + 1))
        << "UTF-8 bytes including the terminator";

    std::memset(bytes, 'x', sizeof bytes);
    written = WideCharToMultiByte(CP_UTF8, 0, kWide, kWideLength, bytes, sizeof bytes, nullptr,
                                  nullptr);
    ASSERT_EQ(written, kUtf8Length);
    EXPECT_EQ(bytes[kUtf8Length], 'x') << "an explicit length converts no terminator";

    needed = MultiByteToWideChar(CP_UTF8, 0, kUtf8, kUtf8Length, nullptr, 0);
    EXPECT_EQ(needed, kWideLength) << "the size call (cchWideChar 0) counts UTF-16 units";
    needed = MultiByteToWideChar(CP_UTF8, 0, kUtf8, -1, nullptr, 0);
    EXPECT_EQ(needed, kWideLength + 1) << "with length -1 the terminator is counted";

    WCHAR wide[64];
    for (WCHAR& c : wide) c = 'x';
    written = MultiByteToWideChar(CP_UTF8, 0, kUtf8, -1, wide, 64);
    ASSERT_EQ(written, kWideLength + 1);
    EXPECT_EQ(Show(wide, written), Show(kWide, kWideLength + 1)) << "back to the same UTF-16";

    for (WCHAR& c : wide) c = 'x';
    written = MultiByteToWideChar(CP_UTF8, 0, kUtf8, kUtf8Length, wide, 64);
    ASSERT_EQ(written, kWideLength);
    EXPECT_EQ(wide[kWideLength], 'x') << "an explicit length converts no terminator";
}

TEST(CodePageUtf8, ShortBuffersAndBadArguments) {
    char bytes[4];
    std::memset(bytes, 'x', sizeof bytes);
    SetLastError(kPoison);
    int written = WideCharToMultiByte(CP_UTF8, 0, kWide, -1, bytes, sizeof bytes, nullptr, nullptr);
    DWORD error = GetLastError();
    EXPECT_EQ(written, 0) << "the text does not fit in 4 bytes";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // Room for the text but not its terminator.
    char almost[kUtf8Length];
    SetLastError(kPoison);
    written = WideCharToMultiByte(CP_UTF8, 0, kWide, -1, almost, sizeof almost, nullptr, nullptr);
    error = GetLastError();
    EXPECT_EQ(written, 0) << "the terminator must fit too";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    WCHAR wide[4];
    SetLastError(kPoison);
    written = MultiByteToWideChar(CP_UTF8, 0, kUtf8, -1, wide, 4);
    error = GetLastError();
    EXPECT_EQ(written, 0) << "the text does not fit in 4 units";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // UTF-8 has no default character: asking for one is an error.
    BOOL usedDefault = FALSE;
    SetLastError(kPoison);
    written = WideCharToMultiByte(CP_UTF8, 0, kWide, -1, nullptr, 0, nullptr, &usedDefault);
    error = GetLastError();
    EXPECT_EQ(written, 0) << "lpUsedDefaultChar must be NULL for CP_UTF8";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    SetLastError(kPoison);
    written = WideCharToMultiByte(CP_UTF8, WC_COMPOSITECHECK | WC_DEFAULTCHAR, kWide, -1, nullptr, 0,
                                  nullptr, nullptr);
    error = GetLastError();
    EXPECT_EQ(written, 0) << "CP_UTF8 takes no WC_COMPOSITECHECK or WC_DEFAULTCHAR";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_FLAGS));

    SetLastError(kPoison);
    written = WideCharToMultiByte(CP_UTF8, 0, nullptr, -1, bytes, sizeof bytes, nullptr, nullptr);
    error = GetLastError();
    EXPECT_EQ(written, 0) << "no source text";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePageAnsi, AsciiRoundTrip) {
    const WCHAR wideText[] = TEXT("Printer on COM1: 9600,n,8,1");
    const char ansiText[] = "Printer on COM1: 9600,n,8,1";
    char bytes[64];
    SetLastError(kPoison);
    int needed = WideCharToMultiByte(CP_ACP, 0, wideText, -1, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(needed, static_cast<int>(sizeof ansiText)) << "ASCII is one byte a character";
    BOOL usedDefault = 2;  // neither TRUE nor FALSE
    int written = WideCharToMultiByte(CP_ACP, 0, wideText, -1, bytes, sizeof bytes, nullptr,
                                      &usedDefault);
    ASSERT_EQ(written, static_cast<int>(sizeof ansiText));
    EXPECT_STREQ(bytes, ansiText);
    EXPECT_FALSE(usedDefault) << "ASCII needs no default character";

    WCHAR wide[64];
    written = MultiByteToWideChar(CP_ACP, 0, ansiText, -1, wide, 64);
    ASSERT_EQ(written, static_cast<int>(sizeof ansiText));
    EXPECT_EQ(Show(wide), Show(wideText));

    // The installer's own flags for ANSI conversions.
    usedDefault = 2;
    written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_DEFAULTCHAR, wideText, -1, bytes,
                                  sizeof bytes, nullptr, &usedDefault);
    ASSERT_EQ(written, static_cast<int>(sizeof ansiText)) << "flags 0x240 are accepted for CP_ACP";
    EXPECT_STREQ(bytes, ansiText);
    EXPECT_FALSE(usedDefault);

    char shortBuffer[4];
    SetLastError(kPoison);
    written = WideCharToMultiByte(CP_ACP, 0, wideText, -1, shortBuffer, sizeof shortBuffer, nullptr,
                                  nullptr);
    DWORD error = GetLastError();
    EXPECT_EQ(written, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    WCHAR shortWide[4];
    SetLastError(kPoison);
    written = MultiByteToWideChar(CP_ACP, 0, ansiText, -1, shortWide, 4);
    error = GetLastError();
    EXPECT_EQ(written, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

// A character the ANSI code page holds, and one it cannot (with no best-fit either).
struct AnsiSample {
    const WCHAR* mappable;
    std::string mappableBytes;
    const WCHAR* unmappable;
};

bool SampleFor(UINT codePage, AnsiSample* sample) {
    switch (codePage) {
    case 1252:
        *sample = {TEXT("\u00E9"), "\xE9", TEXT("\u4E2D")};
        return true;
    case 936:
        *sample = {TEXT("\u4E2D"), "\xD6\xD0", TEXT("\u0E01")};
        return true;
    default:
        return false;
    }
}

TEST(CodePageAnsi, MachineCodePage) {
    UINT acp = GetACP();
    AnsiSample sample;
    if (!SampleFor(acp, &sample)) GTEST_SKIP() << "no samples for code page " << acp;

    char bytes[16];
    BOOL usedDefault = 2;  // neither TRUE nor FALSE
    int written = WideCharToMultiByte(CP_ACP, 0, sample.mappable, -1, bytes, sizeof bytes, nullptr,
                                      &usedDefault);
    ASSERT_EQ(written, static_cast<int>(sample.mappableBytes.size() + 1)) << "code page " << acp;
    EXPECT_EQ(std::string(bytes), sample.mappableBytes) << "code page " << acp;
    EXPECT_FALSE(usedDefault);

    WCHAR wide[16];
    written = MultiByteToWideChar(CP_ACP, 0, sample.mappableBytes.c_str(), -1, wide, 16);
    ASSERT_EQ(written, 2) << "one character and the terminator";
    EXPECT_EQ(Show(wide), Show(sample.mappable)) << "code page " << acp;
}

TEST(CodePageAnsi, UnmappableCharacterBecomesTheDefaultCharacter) {
    UINT acp = GetACP();
    AnsiSample sample;
    if (!SampleFor(acp, &sample)) GTEST_SKIP() << "no samples for code page " << acp;
    WideText text = TEXT("a") + WideText(sample.unmappable) + TEXT("b");

    for (DWORD flags : {static_cast<DWORD>(0), static_cast<DWORD>(WC_COMPOSITECHECK | WC_DEFAULTCHAR)}) {
        SCOPED_TRACE("flags " + std::to_string(flags));
        char bytes[16];
        std::memset(bytes, 'x', sizeof bytes);
        BOOL usedDefault = FALSE;
        int written = WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, bytes, sizeof bytes,
                                          nullptr, &usedDefault);
        ASSERT_EQ(written, 4) << "three characters and the terminator, code page " << acp;
        EXPECT_STREQ(bytes, "a?b") << "the unmappable character becomes '?'";
        EXPECT_TRUE(usedDefault) << "lpUsedDefaultChar reports the substitution";

        usedDefault = FALSE;
        int needed = WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, nullptr, 0, nullptr,
                                         &usedDefault);
        EXPECT_EQ(needed, 4) << "the size call counts the default character";

        usedDefault = FALSE;
        written = WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, bytes, sizeof bytes, "*",
                                      &usedDefault);
        ASSERT_EQ(written, 4);
        EXPECT_STREQ(bytes, "a*b") << "a default character of the caller's choosing";
        EXPECT_TRUE(usedDefault);
    }
}

}  // namespace
}  // namespace contract
