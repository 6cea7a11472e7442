// The framework's UTF-8 conversions for transcripts and scripts: well-formed UTF-8 out, and
// bad input decoded by the same rules as the machine's MultiByteToWideChar.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/text.h"
#include "platform/ui/text.h"

using drovan::ui::text::FromUtf8;
using drovan::ui::text::Text;
using drovan::ui::text::ToUtf8;

namespace {

Text T(std::u16string_view s) { return Text(s.begin(), s.end()); }

TEST(FrameworkText, BadUtf8DecodesAsTheMachineDoes) {
    struct Case {
        std::string bytes;
        std::u16string want;
    } cases[] = {
        {"a\xE4\xB8", u"a\uFFFD"},                      // truncated at the end
        {"\xE4\xB8" "b", u"\uFFFDb"},                   // truncated, the next byte kept
        {"\xC0\x80z", u"\uFFFD\uFFFDz"},                // C0 never starts a sequence
        {"\xE0\x80\x80", u"\uFFFD\uFFFD"},              // overlong: lead and second byte, then a stray
        {"\xED\xA0\x80", u"\uFFFD\uFFFD"},              // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},    // above U+10FFFF
        {"\x80\xBF", u"\uFFFD\uFFFD"},                  // stray continuation bytes
        {"\xF5\x80", u"\uFFFD\uFFFD"},
        {"\xE7\xAB\xAF\xF0\x9F\x98\x80", u"\u7AEF\U0001F600"},  // well-formed controls
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FromUtf8(c.bytes), T(c.want)) << "bytes of length " << c.bytes.size();
        EXPECT_EQ(FromUtf8(c.bytes), T(sim::ToUtf16(c.bytes))) << "differs from the machine's decoder";
    }
}

TEST(FrameworkText, LoneSurrogatesBecomeReplacementCharactersInUtf8) {
    EXPECT_EQ(ToUtf8(T(u"a\xD800" u"b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(ToUtf8(T(u"\xDC00")), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(T(u"\xDBFF")), "\xEF\xBF\xBD") << "a high surrogate at the end";
    EXPECT_EQ(ToUtf8(T(u"\U0001F600\u7AEF")), "\xF0\x9F\x98\x80\xE7\xAB\xAF");
    EXPECT_EQ(FromUtf8(ToUtf8(T(u"x\xD83D"))), T(u"x\uFFFD"));
}

}  // namespace
