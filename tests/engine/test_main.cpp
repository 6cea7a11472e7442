// The engine's tests run on a fresh simulated machine of their own (on Windows, on the
// real system). The log object the engine writes to is defined here, as the program
// defines it beside its application object.
#include <gtest/gtest.h>

#include "engine/Log.h"

#ifndef _WIN32
#include <stdlib.h>

#include <filesystem>

#include "platform/sim/machine.h"
#endif

CLogFile g_log;

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifndef _WIN32
    char pattern[] = "/tmp/drovan-engine-test-XXXXXX";
    std::filesystem::path folder = std::filesystem::path(mkdtemp(pattern)) / "machine";
    sim::UseMachine(folder);
#endif
    int rc = RUN_ALL_TESTS();
#ifndef _WIN32
    sim::UseMachine("/nonexistent");
    std::filesystem::remove_all(folder.parent_path());
#endif
    return rc;
}
