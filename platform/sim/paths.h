// Windows paths on the simulated machine. C: is the machine's drive_c folder and Z: the
// host's root, so every host file has a Windows name (/home/a/x is Z:\home\a\x). Names
// are matched case-insensitively, as Windows matches them; other drives do not exist.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "win32/types.h"

namespace sim {

// The host path of a Windows path (absolute, drive-relative or relative to the current
// directory), or nullopt with ERROR_PATH_NOT_FOUND / ERROR_INVALID_NAME in *error.
std::optional<std::filesystem::path> HostPath(std::u16string_view windowsPath, DWORD* error);

// The Windows name of a host path: C:\... inside drive_c, Z:\... elsewhere.
std::u16string WindowsPath(const std::filesystem::path& hostPath);

}  // namespace sim
