// Registry value data as an administrator reads and types it: REG_SZ as text, REG_DWORD
// as a number, REG_BINARY as hex bytes, REG_MULTI_SZ as a list of strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/regtree.h"

namespace tool {

const char* TypeName(uint32_t type);

// A number as an administrator types it: decimal, or hex after 0x; nullopt past max.
std::optional<uint64_t> ParseUnsigned(const std::string& s, uint64_t max);
std::optional<uint32_t> ParseType(const std::string& name);

// Human-readable data ("9600,n,8,1", "0x0000000a (10)", "01 ff", "[a, b]").
std::string FormatData(const sim::reg::Value& v);
// The same as JSON: a string, a number, an array of strings, or hex for binary.
std::string FormatDataJson(const sim::reg::Value& v);

// Raw bytes for `reg set`, or nullopt with a reason.
std::optional<std::string> ParseData(uint32_t type, const std::vector<std::string>& args,
                                     std::string* why);

}  // namespace tool
