#include "regdata.h"

#include <cstdio>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "json.h"
#include "platform/sim/text.h"

namespace tool {
namespace {

std::u16string AsUtf16(const std::string& bytes) {
    std::u16string s(bytes.size() / 2, u'\0');
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

std::vector<std::string> MultiStrings(const std::string& bytes) {
    std::u16string all = AsUtf16(bytes);
    std::vector<std::string> out;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(u'\0', start);
        if (end == std::u16string::npos) end = all.size();
        if (end == start) break;  // the empty string ends the list
        out.push_back(sim::ToUtf8(std::u16string_view(all).substr(start, end - start)));
        start = end + 1;
    }
    return out;
}

std::string Text(const std::string& bytes) {
    std::u16string s = AsUtf16(bytes);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return sim::ToUtf8(s);
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02x" : " %02x", b);
        out += buf;
    }
    return out;
}

// The number of a REG_DWORD or REG_QWORD that has its type's size (little-endian).
std::optional<uint64_t> NumberOf(const sim::reg::Value& v) {
    const size_t size = v.type == 4 ? 4 : v.type == 11 ? 8 : 0;
    if (size == 0 || v.data.size() != size) return std::nullopt;
    uint64_t n = 0;
    for (size_t i = size; i-- > 0;) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
    return n;
}

}  // namespace

// A number as an administrator types it: decimal, or hex after 0x. No sign, no blanks, no
// octal (a leading zero is decimal), nothing past max.
std::optional<uint64_t> ParseUnsigned(const std::string& s, uint64_t max) {
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const size_t start = hex ? 2 : 0;
    if (s.size() == start) return std::nullopt;
    uint64_t v = 0;
    const uint64_t base = hex ? 16 : 10;
    for (size_t i = start; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        uint64_t digit;
        if (std::isdigit(c)) digit = c - '0';
        else if (hex && std::isxdigit(c)) digit = (c | 0x20) - 'a' + 10;
        else return std::nullopt;
        if (v > (max - digit) / base) return std::nullopt;
        v = v * base + digit;
    }
    return v;
}

const char* TypeName(uint32_t type) {
    switch (type) {
        case 0: return "REG_NONE";
        case 1: return "REG_SZ";
        case 2: return "REG_EXPAND_SZ";
        case 3: return "REG_BINARY";
        case 4: return "REG_DWORD";
        case 7: return "REG_MULTI_SZ";
        case 11: return "REG_QWORD";
        default: return "REG_UNKNOWN";
    }
}

std::optional<uint32_t> ParseType(const std::string& name) {
    for (uint32_t t : {0u, 1u, 2u, 3u, 4u, 7u, 11u})
        if (name == TypeName(t)) return t;
    return std::nullopt;
}

std::string FormatData(const sim::reg::Value& v) {
    switch (v.type) {
        case 1:
        case 2: return Text(v.data);
        case 4:
        case 11:
            if (auto n = NumberOf(v)) {
                char buf[48];
                std::snprintf(buf, sizeof buf, v.type == 4 ? "0x%08llx (%llu)" : "0x%016llx (%llu)",
                              static_cast<unsigned long long>(*n), static_cast<unsigned long long>(*n));
                return buf;
            }
            return Hex(v.data);
        case 7: {
            std::string out = "[";
            for (const auto& s : MultiStrings(v.data)) out += (out.size() > 1 ? ", " : "") + s;
            return out + "]";
        }
        default: return Hex(v.data);
    }
}

std::string FormatDataJson(const sim::reg::Value& v) {
    switch (v.type) {
        case 1:
        case 2: return JsonString(Text(v.data));
        case 4:
        case 11:
            if (auto n = NumberOf(v)) return std::to_string(*n);
            return JsonString(Hex(v.data));
        case 7: {
            std::string out = "[";
            for (const auto& s : MultiStrings(v.data)) out += (out.size() > 1 ? "," : "") + JsonString(s);
            return out + "]";
        }
        default: return JsonString(Hex(v.data));
    }
}

std::optional<std::string> ParseData(uint32_t type, const std::vector<std::string>& args,
                                     std::string* why) {
    auto utf16z = [](const std::string& s) {
        std::u16string w = sim::ToUtf16(s);
        w.push_back(0);
        return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
    };
    if (type == 1 || type == 2) {
        if (args.size() != 1) {
            *why = "a string value takes exactly one DATA argument";
            return std::nullopt;
        }
        return utf16z(args[0]);
    }
    if (type == 4 || type == 11) {
        // Exactly the value's own size, little-endian as Windows keeps it.
        const bool qword = type == 11;
        const char* what = qword ? "a 64-bit" : "a 32-bit";
        if (args.size() != 1) {
            *why = std::string(qword ? "a REG_QWORD" : "a REG_DWORD") + " takes exactly one number";
            return std::nullopt;
        }
        auto n = ParseUnsigned(args[0], qword ? UINT64_MAX : UINT32_MAX);
        if (!n) {
            *why = "'" + args[0] + "' is not " + what + " unsigned number (decimal, or hex with 0x)";
            return std::nullopt;
        }
        std::string out(qword ? 8 : 4, '\0');
        for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>((*n >> (8 * i)) & 0xFF);
        return out;
    }
    if (type == 7) {
        std::string out;
        for (const auto& a : args) {
            if (a.empty()) {
                *why = "a REG_MULTI_SZ cannot hold an empty string";
                return std::nullopt;
            }
            out += utf16z(a);
        }
        out += std::string(2, '\0');
        return out;
    }
    // Binary and the rest: hex bytes, separated or not.
    std::string hex;
    for (const auto& a : args)
        for (char c : a)
            if (c != ' ' && c != ',' && c != ':') hex += c;
    if (hex.size() % 2) {
        *why = "hex data needs an even number of digits";
        return std::nullopt;
    }
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned v;
        if (std::sscanf(hex.substr(i, 2).c_str(), "%2x", &v) != 1 ||
            !std::isxdigit(static_cast<unsigned char>(hex[i])) ||
            !std::isxdigit(static_cast<unsigned char>(hex[i + 1]))) {
            *why = "'" + hex.substr(i, 2) + "' is not a hex byte";
            return std::nullopt;
        }
        out += static_cast<char>(v);
    }
    return out;
}

}  // namespace tool
