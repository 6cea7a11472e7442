// How the shell finds the program a launch names. A name with a path is taken as given
// (relative to the launch's directory). A bare name is looked for in the current
// directory first, then C:\Windows\System32, C:\Windows and the machine's Path, as
// Windows does: the current directory comes first, which is why an elevated program
// must never launch a system tool by its bare name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/types.h"

namespace sim {

struct FoundProgram {
    std::filesystem::path host;  // the file on the host
    std::u16string windowsPath;  // its name on the machine
};

// file: lpFile (".exe" is appended when it has no extension). directory: the launch's
// working directory, empty for the current one. Fails with ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND or ERROR_INVALID_NAME.
std::optional<FoundProgram> FindProgram(std::u16string_view file, std::u16string_view directory,
                                        DWORD* error);

// The directories a bare name is looked for in, in order.
std::vector<std::u16string> ProgramSearchPath(std::u16string_view directory);

}  // namespace sim
