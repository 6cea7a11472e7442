// Windows' command-line rules, as CommandLineToArgvW and the C runtime apply them: the
// program name ends at its closing quote or the first blank; after it, blanks separate
// arguments outside quotes, 2n backslashes before a quote are n backslashes and the quote
// opens or closes quoting, 2n+1 are n backslashes and a literal quote, and inside quotes
// a doubled quote is a literal one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Splits a whole command line. With programFirst the first word follows the program
// name's simpler rule (no backslash processing), as CommandLineToArgvW does.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line, bool programFirst);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::u16string QuoteArgument(std::u16string_view arg);

}  // namespace sim
