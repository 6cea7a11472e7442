// The spooler contract tests' entry point. On Linux every run gets a fresh simulated
// machine in a temporary folder, removed afterwards, with its clock sped up so that the
// service's pending states pass quickly; on Windows the tests use the real spooler.
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
    std::string pattern = (base / "drovan-spooler-contract-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        std::perror("cannot create a temporary folder for the machine");
        return 1;
    }
    const fs::path root(name.data());
    sim::UseMachine(root / "machine");
    sim::clock::SetSpeed(20);
    // Driver packages the tests write go below the current directory, beside the machine.
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
