// Just enough JSON for drovan-machine --json: strings escaped, nothing parsed.
#pragma once

#include <string>
#include <string_view>

namespace tool {

std::string JsonString(std::string_view utf8);

}  // namespace tool
