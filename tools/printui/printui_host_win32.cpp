// The print UI's host on Windows: the system's own conversions, case mapping and command-line
// splitting, and its real folders.
#include "printui_host.h"

namespace printui {
namespace {

std::u16string FromWide(const wchar_t* s, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }
const wchar_t* Wide(std::u16string_view s) { return reinterpret_cast<const wchar_t*>(s.data()); }

std::u16string SystemFolder(UINT (WINAPI* get)(LPWSTR, UINT), const wchar_t* below) {
    wchar_t buffer[MAX_PATH];
    UINT n = get(buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::u16string();
    return FromWide(buffer, n) + reinterpret_cast<const char16_t*>(below);
}

}  // namespace

const char* ArchName(Arch arch) {
    switch (arch) {
        case Arch::X86: return "x86";
        case Arch::X64: return "x64";
        case Arch::IA64: return "ia64";
        case Arch::ARM64: return "arm64";
    }
    return "x64";
}

std::string ToUtf8(std::u16string_view text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, Wide(text), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, Wide(text), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string ToUtf16(std::string_view utf8) {
    if (utf8.empty()) return std::u16string();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::u16string out(n > 0 ? n : 0, u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                            reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::u16string Fold(std::u16string_view text) {
    std::u16string out(text);
    if (!out.empty())
        CharUpperBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && Fold(a) == Fold(b);
}

std::vector<std::u16string> SplitArguments(std::u16string_view line) {
    // CommandLineToArgvW reads a program name first, by its own simpler rule.
    std::u16string whole = u"x " + std::u16string(line);
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(Wide(whole), &count);
    std::vector<std::u16string> out;
    for (int i = 1; argv && i < count; ++i) out.push_back(FromWide(argv[i], wcslen(argv[i])));
    if (argv) LocalFree(argv);
    return out;
}

std::optional<std::filesystem::path> HostPath(std::u16string_view windowsPath, DWORD* error) {
    if (windowsPath.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    return std::filesystem::path(std::wstring(Wide(windowsPath), windowsPath.size()));
}

std::u16string WindowsPath(const std::filesystem::path& hostPath) {
    const std::wstring& s = hostPath.native();
    return FromWide(s.data(), s.size());
}

std::u16string SystemInfFolder() { return SystemFolder(GetWindowsDirectoryW, L"\\INF"); }
std::u16string DriverStoreFolder() { return SystemFolder(GetSystemDirectoryW, L"\\DriverStore\\FileRepository"); }

}  // namespace printui
