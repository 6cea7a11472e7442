// drovan-machine --json writes strings as the rest of the machine's tools do.
#pragma once

#include <string>
#include <string_view>

#include "platform/sim/text.h"

namespace tool {

inline std::string JsonString(std::string_view utf8) { return sim::JsonQuote(utf8); }

}  // namespace tool
