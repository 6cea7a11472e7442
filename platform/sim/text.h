// UTF-16 <-> UTF-8 and case folding for the simulated machine's own bookkeeping
// (the store keeps names as UTF-8; Windows compares names case-insensitively).
#pragma once

#include <string>
#include <string_view>

namespace sim {

// A lone surrogate becomes U+FFFD, as WideCharToMultiByte writes it.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16 by MultiByteToWideChar's rules: each bad sequence (a stray continuation
// byte, a truncated sequence, an overlong form, an encoded surrogate, a value above
// U+10FFFF) becomes one U+FFFD and the bytes after it are decoded as they come.
std::u16string ToUtf16(std::string_view text);
// The same into out; false when a bad sequence was replaced.
bool ToUtf16(std::string_view text, std::u16string& out);
bool IsValidUtf8(std::string_view text);
inline std::u16string_view View(const char16_t* s) {
    return s ? std::u16string_view(s) : std::u16string_view();
}

// Upper-case folding as Windows compares registry keys, value names and file names.
char16_t FoldChar(char16_t c);
std::u16string Fold(std::u16string_view text);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// A JSON string literal of UTF-8 text, for the tools' machine-readable output.
std::string JsonQuote(std::string_view utf8);

}  // namespace sim
