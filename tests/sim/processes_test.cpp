#include <atomic>
#include <csignal>
#include <fstream>
#include <thread>

#include "fresh_machine.h"
#include "platform/sim/clock.h"
#include "platform/sim/faults.h"
#include "platform/sim/process.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

DWORD RunWriter(std::vector<std::string> args, DWORD timeoutMs = 60000) {
    args.insert(args.begin(), SIM_WRITER);
    DWORD error = 0;
    HANDLE p = sim::StartProcess(args, "", &error);
    EXPECT_NE(p, nullptr) << "error " << error;
    if (!p) return 0xFFFFFFFF;
    EXPECT_EQ(WaitForSingleObject(p, timeoutMs), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(p, &code));
    CloseHandle(p);
    return code;
}

size_t CountValues(LPCWSTR path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    size_t n = 0;
    WCHAR name[32];
    for (DWORD cch = 32; RegEnumValueW(key, static_cast<DWORD>(n), name, &cch, nullptr, nullptr,
                                       nullptr, nullptr) == ERROR_SUCCESS;
         cch = 32)
        ++n;
    RegCloseKey(key);
    return n;
}

}  // namespace

using ProcessesTest = FreshMachine;

TEST_F(ProcessesTest, TwoProcessesWriteOneMachineAtOnce) {
    sim::CurrentMachine();  // create it before the children race to
    std::vector<std::string> a{SIM_WRITER, "values", "Software\\Shared\\A", "300"};
    std::vector<std::string> b{SIM_WRITER, "values", "Software\\Shared\\B", "300"};
    std::vector<std::string> c{SIM_WRITER, "values", "Software\\Shared\\A", "300"};
    DWORD error = 0;
    HANDLE pa = sim::StartProcess(a, "", &error);
    HANDLE pb = sim::StartProcess(b, "", &error);
    HANDLE pc = sim::StartProcess(c, "", &error);
    ASSERT_TRUE(pa && pb && pc);
    for (HANDLE p : {pa, pb, pc}) {
        ASSERT_EQ(WaitForSingleObject(p, 120000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(p, &code);
        EXPECT_EQ(code, 0u) << "a writer failed";
        CloseHandle(p);
    }
    // Meanwhile this process wrote too.
    EXPECT_EQ(CountValues(TEXT("Software\\Shared\\A")), 300u) << "same names from two writers";
    EXPECT_EQ(CountValues(TEXT("Software\\Shared\\B")), 300u);
}

TEST_F(ProcessesTest, ChildKilledInsideATransactionLeavesNothingHalfDone) {
    sim::CurrentMachine();
    setenv("DROVAN_SIM_CRASH", "reg-create-key", 1);
    DWORD code = RunWriter({"create", "Software\\One\\Two\\Three"});
    unsetenv("DROVAN_SIM_CRASH");
    EXPECT_EQ(code, 0xC000013Au) << "the child should have died at the crash point";
    HKEY key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\One"), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND)
        << "the first key of the path was created inside the dead transaction";
    // The machine is still whole and writable by the next process.
    EXPECT_EQ(RunWriter({"create", "Software\\One\\Two\\Three"}), 0u);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\One\\Two\\Three"), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(ProcessesTest, ChildProcessesSeeTheMachinesFaults) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Seen"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    sim::SetFault(sim::CurrentMachine().Db(), {"RegOpenKeyExW", ERROR_SHARING_VIOLATION, 1});
    EXPECT_EQ(RunWriter({"open", "Software\\Seen"}), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(RunWriter({"open", "Software\\Seen"}), 0u) << "a once-only fault is used up by the child";
}

// The time-out is on the driven clock, and the child cannot end before the test lets it
// (it waits for a file to appear): the outcome does not depend on how loaded the host is.
TEST_F(ProcessesTest, WaitForAProcessTimesOut) {
    sim::clock::Drive();
    const fs::path go = m_folder.parent_path() / "go";
    std::vector<std::string> child{"/bin/sh", "-c", "while [ ! -e \"$0\" ]; do sleep 0.01; done", go.string()};
    DWORD error = 0;
    HANDLE p = sim::StartProcess(child, "", &error);
    ASSERT_NE(p, nullptr) << "error " << error;
    std::atomic<DWORD> result{0xFFFF};
    std::thread waiter([&] { result = WaitForSingleObject(p, 50); });
    EXPECT_TRUE(Eventually([&] { return Asleep(waiter.get_id()); }));
    sim::clock::Advance(50);
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(p, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    std::ofstream{go};
    EXPECT_EQ(WaitForSingleObject(p, INFINITE), WAIT_OBJECT_0) << "ends once it may";
    EXPECT_TRUE(GetExitCodeProcess(p, &code));
    EXPECT_EQ(code, 0u);
    CloseHandle(p);

    SetLastError(0xdeadbeef);
    std::vector<std::string> missing{"/nonexistent/program"};
    EXPECT_EQ(sim::StartProcess(missing, "", &error), nullptr);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
