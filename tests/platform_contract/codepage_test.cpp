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

// Bad UTF-8: each bad sequence becomes one U+FFFD and what follows it is decoded as it
// comes; MB_ERR_INVALID_CHARS refuses the text instead. Good text next to the bad cases
// shows where the line runs (U+FFFD itself, the last code point, the ends of the
// surrogate gap).
struct Utf8Case {
    std::string bytes;
    std::u16string wide;  // what MultiByteToWideChar(CP_UTF8, 0, ...) gives
    bool valid;
};

const Utf8Case kUtf8Cases[] = {
    {"\x80", u"\uFFFD", false},                               // a stray continuation byte
    {"\xFF", u"\uFFFD", false},                               // never in UTF-8
    {"a\xE4\xB8", u"a\uFFFD", false},                         // truncated by the length
    {"\xE4\x41\xB8", u"\uFFFD\x41\uFFFD", false},             // interrupted by ASCII
    {"\xE4\xB8\xE4\xB8\xAD", u"\uFFFD\u4E2D", false},         // interrupted by a new lead byte
    {"\xC0\xAF", u"\uFFFD\uFFFD", false},                     // overlong '/', two bytes
    {"\xE0\x80\xAF", u"\uFFFD\uFFFD", false},                 // overlong '/', three bytes
    {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},       // overlong '/', four bytes
    {"\xED\xA0\x80", u"\uFFFD\uFFFD", false},                 // the surrogate U+D800, encoded
    {"\xED\xBF\xBF", u"\uFFFD\uFFFD", false},                 // the surrogate U+DFFF, encoded
    {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD", false},       // U+110000
    {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false}, // a lead byte past U+10FFFF
    {"\xEF\xBF\xBD", u"\uFFFD", true},
    {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
    {"\xED\x9F\xBF\xEE\x80\x80", u"\uD7FF\uE000", true},
    {"\xE0\xA0\x80\xC2\x80", u"\u0800\u0080", true},
};

TEST(CodePageUtf8, BadSequencesBecomeReplacementCharacters) {
    for (const Utf8Case& c : kUtf8Cases) {
        SCOPED_TRACE(Show(reinterpret_cast<const WCHAR*>(c.wide.c_str()), c.wide.size()));
        const int n = static_cast<int>(c.bytes.size());
        const int expected = static_cast<int>(c.wide.size());
        WCHAR wide[16];
        for (WCHAR& w : wide) w = 'x';
        SetLastError(kPoison);
        int written = MultiByteToWideChar(CP_UTF8, 0, c.bytes.data(), n, wide, 16);
        DWORD error = GetLastError();
        EXPECT_EQ(written, expected);
        EXPECT_EQ(error, kPoison);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide), expected), c.wide);
        EXPECT_EQ(wide[expected], 'x') << "nothing written past the text";
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.bytes.data(), n, nullptr, 0), expected)
            << "the size call counts the same";

        for (WCHAR* buffer : {static_cast<WCHAR*>(nullptr), wide}) {
            SetLastError(kPoison);
            written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(), n, buffer,
                                          buffer ? 16 : 0);
            error = GetLastError();
            EXPECT_EQ(written, c.valid ? expected : 0) << (buffer ? "into a buffer" : "size call");
            EXPECT_EQ(error, c.valid ? kPoison : static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
        }
    }
}

TEST(CodePageUtf8, ShortBufferIsReportedBeforeBadSequences) {
    WCHAR wide[1];
    SetLastError(kPoison);
    int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC0\xC0\x80", 3, wide, 1);
    DWORD error = GetLastError();
    EXPECT_EQ(written, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

// A sequence cut short by the end of the text, where the length -1 adds the terminator:
// the terminator is decoded after the U+FFFD, not taken into the bad sequence.
TEST(CodePageUtf8, TruncatedSequenceKeepsTheTerminator) {
    for (const char* text : {"a\xE4", "a\xF0\x9F", "a\xE4\xB8"}) {
        SCOPED_TRACE(text);
        WCHAR wide[8];
        for (WCHAR& w : wide) w = 'x';
        SetLastError(kPoison);
        int written = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 8);
        DWORD error = GetLastError();
        ASSERT_EQ(written, 3) << "'a', U+FFFD and the terminator";
        EXPECT_EQ(error, kPoison);
        EXPECT_EQ(wide[0], 'a');
        EXPECT_EQ(wide[1], 0xFFFD);
        EXPECT_EQ(wide[2], 0);
    }
}

// Lone surrogates have no UTF-8 form: U+FFFD's bytes stand in, or WC_ERR_INVALID_CHARS
// refuses the text.
TEST(CodePageUtf8, LoneSurrogatesBecomeReplacementCharacters) {
    struct Case {
        std::u16string wide;
        int length;
        std::string bytes;
    };
    const Case cases[] = {
        {u"\xD800" u"a", 2, "\xEF\xBF\xBD" "a"},
        {u"a\xDC00", 2, "a\xEF\xBF\xBD"},
        {u"\xDC00\xD800", 2, "\xEF\xBF\xBD\xEF\xBF\xBD"},                      // the wrong order
        {u"\U0001F5A8", 1, "\xEF\xBF\xBD"},                                   // a pair cut by the length
        {u"a\xD800", -1, std::string("a\xEF\xBF\xBD", 4) + std::string(1, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(reinterpret_cast<const WCHAR*>(c.wide.c_str()), c.wide.size()));
        const auto* wide = reinterpret_cast<const WCHAR*>(c.wide.c_str());
        char bytes[16];
        SetLastError(kPoison);
        int written = WideCharToMultiByte(CP_UTF8, 0, wide, c.length, bytes, sizeof bytes, nullptr, nullptr);
        DWORD error = GetLastError();
        ASSERT_EQ(written, static_cast<int>(c.bytes.size()));
        EXPECT_EQ(error, kPoison);
        EXPECT_EQ(std::string(bytes, written), c.bytes);

        SetLastError(kPoison);
        written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, c.length, bytes, sizeof bytes,
                                      nullptr, nullptr);
        error = GetLastError();
        EXPECT_EQ(written, 0);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
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
    case 950:
        *sample = {TEXT("\u4E2D"), "\xA4\xA4", TEXT("\u0E01")};
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
