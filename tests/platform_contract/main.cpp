// The contract tests' entry point, for the platform and the spooler contract alike. On Linux
// every run gets a fresh simulated machine in a temporary folder named after the program
// (CONTRACT_NAME), removed afterwards; CONTRACT_CLOCK_SPEED, where set, speeds its clock up
// so that fixed pauses (a service's pending states) pass quickly. On Windows the tests use
// the real system.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/sim/clock.h"
#include "platform/sim/machine.h"
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / (std::string(CONTRACT_NAME) + "-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        std::perror("cannot create a temporary folder for the machine");
        return 1;
    }
    const fs::path root(name.data());
    sim::UseMachine(root / "machine");
#ifdef CONTRACT_CLOCK_SPEED
    sim::clock::SetSpeed(CONTRACT_CLOCK_SPEED);
#endif
    // Files the tests create (driver packages among them) go below the current directory:
    // keep them beside the machine, not in the build tree.
    fs::create_directory(root / "work", ec);
    fs::current_path(root / "work", ec);
    if (ec) {
        std::fprintf(stderr, "cannot enter %s: %s\n", (root / "work").c_str(), ec.message().c_str());
        return 1;
    }
#endif
    int result = RUN_ALL_TESTS();
#ifndef _WIN32
    fs::current_path(base, ec);
    fs::remove_all(root, ec);
#endif
    return result;
}
