// JSON string quoting for transcripts and drovan-machine --json. Plain C++ with no part of
// the simulated machine, so that the Windows build of the headless backend quotes with the
// very same code and a transcript made there compares byte for byte with one made here.
#include <cstdio>

#include "text.h"

namespace sim {

std::string JsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

}  // namespace sim
