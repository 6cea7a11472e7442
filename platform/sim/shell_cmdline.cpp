#include "shell_cmdline.h"

namespace sim {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line, bool programFirst) {
    std::vector<std::u16string> out;
    size_t i = 0, n = line.size();
    if (programFirst) {
        // The program name: quoted up to the next quote, or up to the first blank.
        std::u16string prog;
        if (i < n && line[i] == u'"') {
            ++i;
            while (i < n && line[i] != u'"') prog += line[i++];
            if (i < n) ++i;
        } else {
            while (i < n && !IsBlank(line[i])) prog += line[i++];
        }
        out.push_back(prog);
    }
    for (;;) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        std::u16string arg;
        // quotes: 0 outside quoting, 1 inside; the count of consecutive quotes decides
        // between closing and a literal quote, as the runtime since 2008 does.
        int quotes = 0;
        size_t backslashes = 0;
        while (i < n) {
            char16_t c = line[i];
            if (c == u'\\') {
                ++backslashes;
                arg += c;
                ++i;
                continue;
            }
            if (c == u'"') {
                arg.resize(arg.size() - backslashes / 2);
                if (backslashes % 2 == 1) {
                    arg.back() = u'"';  // the odd backslash becomes the literal quote
                    backslashes = 0;
                    ++i;
                    continue;
                }
                backslashes = 0;
                ++quotes;
                ++i;
                while (i < n && line[i] == u'"') {
                    if (++quotes == 3) {
                        arg += u'"';
                        quotes = 0;
                    }
                    ++i;
                }
                if (quotes == 2) quotes = 0;
                continue;
            }
            backslashes = 0;
            if (IsBlank(c) && quotes == 0) break;
            arg += c;
            ++i;
        }
        out.push_back(std::move(arg));
    }
    return out;
}

std::u16string QuoteArgument(std::u16string_view arg) {
    bool needs = arg.empty() || arg.find_first_of(u" \t\"") != std::u16string_view::npos;
    if (!needs) return std::u16string(arg);
    std::u16string out = u"\"";
    size_t backslashes = 0;
    for (char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            out.append(backslashes * 2 + 1, u'\\');
            out += u'"';
        } else {
            out.append(backslashes, u'\\');
            out += c;
        }
        backslashes = 0;
    }
    out.append(backslashes * 2, u'\\');  // they stand before the closing quote
    out += u'"';
    return out;
}

}  // namespace sim
