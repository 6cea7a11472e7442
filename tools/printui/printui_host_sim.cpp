// The print UI's host on the simulated machine: its text helpers, its command-line rules,
// its drive C: and its system folders.
#include "platform/sim/machine.h"
#include "platform/sim/paths.h"
#include "platform/sim/shell_cmdline.h"
#include "platform/sim/system_drivers.h"
#include "platform/sim/text.h"
#include "printui_host.h"

namespace printui {

const char* ArchName(Arch arch) {
    switch (arch) {
        case Arch::X86: return sim::ArchName(sim::Arch::X86);
        case Arch::X64: return sim::ArchName(sim::Arch::X64);
        case Arch::IA64: return sim::ArchName(sim::Arch::IA64);
        case Arch::ARM64: return sim::ArchName(sim::Arch::ARM64);
    }
    return "x64";
}

std::string ToUtf8(std::u16string_view text) { return sim::ToUtf8(text); }
std::u16string ToUtf16(std::string_view utf8) { return sim::ToUtf16(utf8); }
std::u16string Fold(std::u16string_view text) { return sim::Fold(text); }
bool EqualsNoCase(std::u16string_view a, std::u16string_view b) { return sim::EqualsNoCase(a, b); }

std::vector<std::u16string> SplitArguments(std::u16string_view line) {
    return sim::SplitCommandLine(line, false);
}

std::optional<std::filesystem::path> HostPath(std::u16string_view windowsPath, DWORD* error) {
    return sim::HostPath(windowsPath, error);
}
std::u16string WindowsPath(const std::filesystem::path& hostPath) { return sim::WindowsPath(hostPath); }

std::u16string SystemInfFolder() { return sim::kSystemInfFolder; }
std::u16string DriverStoreFolder() { return sim::kDriverStoreFolder; }

}  // namespace printui
