// The JSON string quoting of the simulated machine's tools (platform/sim/text.cpp), for the
// Windows build, which has no simulated machine: the same escapes, so that a transcript made
// on Windows compares byte for byte with one made on the simulated machine.
#include <cstdio>
#include <string>
#include <string_view>

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
