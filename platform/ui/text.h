// Text rules the controls share: case folding, and the order in which Windows sorts list
// items (its case-insensitive "word sort" of the user's locale).
#pragma once

#include <string>

#include "platform/win32.h"

namespace drovan::ui::text {

using Text = std::basic_string<WCHAR>;

WCHAR ToUpper(WCHAR c);
WCHAR ToLower(WCHAR c);

// Ordinal comparison after folding case: the rule of _wcsicmp and of CB_FINDSTRING's prefix.
int CompareNoCaseOrdinal(const Text& a, const Text& b);
bool StartsWithNoCase(const Text& s, const Text& prefix);

// The sort order of a sorted list box or combo box: case-insensitive, blanks and
// punctuation before digits, digits before letters, hyphen and apostrophe counted only
// when everything else is equal. Returns <0, 0, >0.
int CollateNoCase(const Text& a, const Text& b);

// UTF-16 to UTF-8 and back, for transcripts and scripts.
std::string ToUtf8(const Text& s);
Text FromUtf8(const std::string& s);

}  // namespace drovan::ui::text
