// The system programs of the simulated machine. Windows' own executables cannot run on
// the host, so drive C: holds small marker files in their place and the shell maps each
// marker to a host program that plays its part:
//
//   C:\Windows\System32\rundll32.exe   ->  drovan-printui, the print UI stand-in
//
// The host program is $DROVAN_PRINTUI when set (tests point it at their build), else
// drovan-printui beside the running program's own binary.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "win32/types.h"

namespace sim {

// The first line of a marker file; the program's name follows it.
inline constexpr std::string_view kSystemProgramMarker = "DROVAN-SYSTEM-PROGRAM ";

// Writes the marker files into a machine's drive C: (part of a new machine's set-up).
void WriteSystemPrograms(const std::filesystem::path& driveC);

// The name a marker file stands for ("rundll32"), or nullopt for any other file.
std::optional<std::string> SystemProgramName(const std::filesystem::path& hostFile);

// The host executable that carries out a system program, or nullopt with
// ERROR_FILE_NOT_FOUND when the machine has no stand-in for it or it is not installed.
std::optional<std::filesystem::path> SystemProgramHost(std::string_view name, DWORD* error);

}  // namespace sim
