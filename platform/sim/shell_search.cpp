#include "shell_search.h"

#include <vector>

#include "paths.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/registry.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

bool HasPath(std::u16string_view name) {
    return name.find_first_of(u"\\/:") != std::u16string_view::npos;
}

bool HasExtension(std::u16string_view name) {
    size_t slash = name.find_last_of(u"\\/:");
    size_t dot = name.rfind(u'.');
    return dot != std::u16string_view::npos && (slash == std::u16string_view::npos || dot > slash);
}

std::u16string CurrentDirectory() {
    WCHAR buffer[1024];
    DWORD n = GetCurrentDirectoryW(1024, buffer);
    return n && n < 1024 ? std::u16string(buffer, n) : std::u16string(u"C:\\");
}

// %SystemRoot% and %windir% are the only variables the default Path uses.
std::u16string ExpandSystemRoot(std::u16string text) {
    for (std::u16string var : {u"%SystemRoot%", u"%windir%"}) {
        for (;;) {
            std::u16string folded = Fold(text);
            size_t at = folded.find(Fold(var));
            if (at == std::u16string::npos) break;
            text.replace(at, var.size(), u"C:\\Windows");
        }
    }
    return text;
}

// The machine's Path: the system environment's value in the registry, as a new process
// on Windows inherits it.
std::vector<std::u16string> MachinePath() {
    std::vector<std::u16string> dirs;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return dirs;
    WCHAR data[4096] = {};
    DWORD size = sizeof data - sizeof(WCHAR), type = 0;
    LONG rc = RegQueryValueExW(key, u"Path", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return dirs;
    std::u16string path = ExpandSystemRoot(std::u16string(data, wcsnlen(data, size / 2)));
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u';', start);
        if (end == std::u16string::npos) end = path.size();
        std::u16string dir = path.substr(start, end - start);
        if (!dir.empty()) dirs.push_back(dir);
        start = end + 1;
    }
    return dirs;
}

std::u16string Join(const std::u16string& dir, std::u16string_view name) {
    if (!dir.empty() && dir.back() != u'\\' && dir.back() != u'/') return dir + u"\\" + std::u16string(name);
    return dir + std::u16string(name);
}

bool IsRegularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

}  // namespace

std::vector<std::u16string> ProgramSearchPath(std::u16string_view directory) {
    std::vector<std::u16string> dirs;
    dirs.push_back(directory.empty() ? CurrentDirectory() : std::u16string(directory));
    dirs.push_back(u"C:\\Windows\\System32");
    dirs.push_back(u"C:\\Windows");
    for (auto& d : MachinePath()) dirs.push_back(d);
    return dirs;
}

std::optional<FoundProgram> FindProgram(std::u16string_view file, std::u16string_view directory,
                                        DWORD* error) {
    std::u16string name(file);
    if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"')
        name = name.substr(1, name.size() - 2);
    if (name.empty()) {
        *error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    if (!HasExtension(name)) name += u".exe";

    if (HasPath(name)) {
        bool absolute = name.size() >= 2 && (name[1] == u':' || name[0] == u'\\' || name[0] == u'/');
        std::u16string full = absolute || directory.empty() ? name : Join(std::u16string(directory), name);
        auto host = HostPath(full, error);
        if (!host) return std::nullopt;
        if (IsRegularFile(*host)) return FoundProgram{*host, WindowsPath(*host)};
        std::error_code ec;
        *error = fs::is_directory(host->parent_path(), ec) ? ERROR_FILE_NOT_FOUND
                                                           : ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }

    for (const auto& dir : ProgramSearchPath(directory)) {
        DWORD ignored = 0;
        auto host = HostPath(Join(dir, name), &ignored);
        if (host && IsRegularFile(*host)) return FoundProgram{*host, WindowsPath(*host)};
    }
    *error = ERROR_FILE_NOT_FOUND;
    return std::nullopt;
}

}  // namespace sim
