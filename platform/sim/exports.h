// The functions that programs look up at run time with GetProcAddress, by name or by
// ordinal, per system library. A library not listed here does not load.
#pragma once

#include <string_view>
#include <vector>

#include "win32/types.h"

namespace sim {

struct Export {
    const char* name;  // nullptr for an export known only by ordinal
    WORD ordinal;      // 0 when it has none worth knowing
    FARPROC proc;
};

struct Library {
    const char16_t* name;  // lower case, with extension: u"winspool.drv"
    std::vector<Export> exports;
};

const std::vector<Library>& KnownLibraries();

}  // namespace sim
