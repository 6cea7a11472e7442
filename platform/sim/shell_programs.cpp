#include "shell_programs.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "win32/errors.h"

namespace fs = std::filesystem;

namespace sim {

void WriteSystemPrograms(const fs::path& driveC) {
    std::error_code ec;
    fs::path dir = driveC / "Windows" / "System32";
    fs::create_directories(dir, ec);
    fs::path file = dir / "rundll32.exe";
    if (fs::exists(file, ec)) return;
    std::ofstream out(file, std::ios::binary);
    out << kSystemProgramMarker << "rundll32\r\n"
        << "This file stands for the system's rundll32 on a simulated machine. The machine's\r\n"
        << "shell runs drovan-printui in its place.\r\n";
}

std::optional<std::string> SystemProgramName(const fs::path& hostFile) {
    std::ifstream in(hostFile, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line(128, '\0');
    in.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<size_t>(in.gcount()));
    if (line.rfind(kSystemProgramMarker, 0) != 0) return std::nullopt;
    line.erase(0, kSystemProgramMarker.size());
    size_t end = line.find_first_of("\r\n");
    if (end == std::string::npos) return std::nullopt;
    line.resize(end);
    return line;
}

std::optional<fs::path> SystemProgramHost(std::string_view name, DWORD* error) {
    *error = ERROR_FILE_NOT_FOUND;
    if (name != "rundll32") return std::nullopt;
    fs::path host;
    const char* env = std::getenv("DROVAN_PRINTUI");
    if (env && *env) {
        host = env;
    } else {
        std::error_code ec;
        fs::path self = fs::read_symlink("/proc/self/exe", ec);
        if (ec) return std::nullopt;
        host = self.parent_path() / "drovan-printui";
    }
    if (access(host.c_str(), X_OK) != 0) return std::nullopt;
    return host;
}

}  // namespace sim
