// What the print UI's shared parts (the INF reader, the driver package, the system's INF
// files, the command line) need from the system they run on. Two homes implement it:
// printui_host_sim.cpp on the simulated machine, printui_host_win32.cpp on Windows (the
// print UI that the Wine tests put in their prefix). Nothing else in those parts knows
// which home it is in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace printui {

// The processor architectures a driver package may offer its models for.
enum class Arch { X86, X64, IA64, ARM64 };
const char* ArchName(Arch arch);  // "x86", "x64", "ia64", "arm64"

std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view utf8);
inline std::u16string_view View(const WCHAR* s) {
    return s ? std::u16string_view(reinterpret_cast<const char16_t*>(s)) : std::u16string_view();
}

// Names compare as Windows compares file, key and INF section names: upper-cased.
std::u16string Fold(std::u16string_view text);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Splits a command line's arguments (no program name first) by Windows' rules.
std::vector<std::u16string> SplitArguments(std::u16string_view line);

// A Windows path as a path of the host's file system, or nullopt with a Win32 error; and
// back.
std::optional<std::filesystem::path> HostPath(std::u16string_view windowsPath, DWORD* error);
std::u16string WindowsPath(const std::filesystem::path& hostPath);

// A Windows path's folder and file name, and a path joined from a folder and a name.
inline std::u16string Folder(const std::u16string& path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}
inline std::u16string FileName(const std::u16string& path) {
    size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string::npos ? path : path.substr(cut + 1);
}
inline std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    return folder + u"\\" + name;
}

// Where the system keeps its own INF files (C:\Windows\INF) and their packages
// (C:\Windows\System32\DriverStore\FileRepository).
std::u16string SystemInfFolder();
std::u16string DriverStoreFolder();

}  // namespace printui
