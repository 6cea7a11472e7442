// The print UI with packages of many files: a package whose INF names N files, either all
// absent (the print UI reads the INF, builds the copy list, looks for the files and fails
// on the first that is missing) or all present (it stages and installs every one). Each
// run is the real drovan-printui on a fresh machine, timed from start to exit.
//
//   cd build/linux/bin && ./bench_printui_files [--sizes 1000,10000,100000] [--present]
//
// What costs more than linear time shows as a time per file that grows with N.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bulk_package.h"
#include "platform/sim/machine.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Seconds from the print UI's start to its exit, and its exit status.
std::pair<double, int> RunOnce(const fs::path& bin, size_t count, bool present) {
    char pattern[] = "/tmp/drovan-bench-printui-XXXXXX";
    fs::path root = mkdtemp(pattern);
    fs::path machine = root / "machine";
    sim::UseMachine(machine);
    BulkPackage package;
    package.count = count;
    package.withFiles = present;
    package.Write(sim::CurrentMachine().DriveC() / "Bulk");
    sim::UseMachine("/nonexistent-after-bench");
    std::string command = "DROVAN_MACHINE=" + Quote(machine.string()) + " " + Quote((bin / "drovan-printui").string()) +
                          " PRINTUI.DLL,PrintUIEntry /if /b Bulk /f 'C:\\Bulk\\Bulk.inf' /r COM1: /m 'Bulk Printer' /q";
    auto start = Clock::now();
    int status = std::system(command.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::error_code ec;
    fs::remove_all(root, ec);
    return {seconds, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes = {1000, 10000, 100000};
    bool present = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--present") {
            present = true;
        } else if (a == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::istringstream in(argv[++i]);
            for (std::string n; std::getline(in, n, ',');) sizes.push_back(std::stoul(n));
        } else {
            std::fprintf(stderr, "usage: bench_printui_files [--sizes N,N...] [--present]\n");
            return 2;
        }
    }
    fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    std::printf("%-8s %-8s %10s %14s %6s\n", "files", "files are", "seconds", "us per file", "exit");
    for (size_t n : sizes) {
        auto [seconds, status] = RunOnce(bin, n, present);
        std::printf("%-8zu %-8s %10.3f %14.2f %6d\n", n, present ? "present" : "absent", seconds, seconds * 1e6 / n,
                    status);
        std::fflush(stdout);
    }
    return 0;
}
