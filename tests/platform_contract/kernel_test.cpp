// KERNEL32 services: threads and their exit codes, events and waits, sleeps and ticks,
// system information, the module path, DLL loading and the per-thread last error.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "contract_support.h"

namespace contract {
namespace {

struct Gate {
    HANDLE release = nullptr;
    DWORD exitCode = 0;
};

DWORD WINAPI WaitForRelease(LPVOID parameter) {
    Gate* gate = static_cast<Gate*>(parameter);
    WaitForSingleObject(gate->release, INFINITE);
    return gate->exitCode;
}

TEST(Threads, ExitCodeIsStillActiveUntilTheThreadEnds) {
    Gate gate;
    gate.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(gate.release, nullptr);
    gate.exitCode = 42;

    DWORD threadId = 0;
    SetLastError(kPoison);
    HANDLE thread = CreateThread(nullptr, 0, WaitForRelease, &gate, 0, &threadId);
    ASSERT_NE(thread, nullptr) << "CreateThread failed: " << GetLastError();
    EXPECT_NE(threadId, 0u) << "the new thread's id is reported";
    EXPECT_NE(threadId, GetCurrentThreadId());

    DWORD code = kPoison;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE)) << "a running thread has no exit code yet";
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a running thread is not signalled";
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a short wait on a running thread times out";

    ASSERT_TRUE(SetEvent(gate.release));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0))
        << "an ended thread is signalled";
    code = kPoison;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u) << "the thread function's return value is the exit code";
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "an ended thread stays signalled";
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(CloseHandle(gate.release));
}

struct LastErrorProbe {
    HANDLE ready = nullptr;
    HANDLE proceed = nullptr;
    DWORD seenAtStart = kPoison;
    DWORD seenAtEnd = kPoison;
};

DWORD WINAPI ProbeLastError(LPVOID parameter) {
    LastErrorProbe* probe = static_cast<LastErrorProbe*>(parameter);
    probe->seenAtStart = GetLastError();
    SetLastError(0x5678);
    SetEvent(probe->ready);
    WaitForSingleObject(probe->proceed, INFINITE);
    probe->seenAtEnd = GetLastError();
    return 0;
}

TEST(Threads, LastErrorBelongsToEachThread) {
    LastErrorProbe probe;
    probe.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    probe.proceed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(probe.ready, nullptr);
    ASSERT_NE(probe.proceed, nullptr);

    SetLastError(0x1234);
    HANDLE thread = CreateThread(nullptr, 0, ProbeLastError, &probe, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(probe.ready, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    // Both threads now hold their own value; change ours while the other waits.
    SetLastError(0x9abc);
    EXPECT_EQ(GetLastError(), 0x9abcu) << "this thread's value is its own";
    ASSERT_TRUE(SetEvent(probe.proceed));
    ASSERT_EQ(WaitForSingleObject(thread, 10000), static_cast<DWORD>(WAIT_OBJECT_0));

    EXPECT_EQ(probe.seenAtStart, 0u) << "a new thread starts with no error, not its creator's";
    EXPECT_EQ(probe.seenAtEnd, 0x5678u) << "another thread's SetLastError did not reach this one";
    CloseHandle(thread);
    CloseHandle(probe.ready);
    CloseHandle(probe.proceed);
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "created not signalled";
    EXPECT_EQ(WaitForSingleObject(event, 15), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a short wait times out";

    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "a wait does not reset a manual-reset event";
    EXPECT_TRUE(SetEvent(event)) << "setting a set event is fine";

    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "reset";
    EXPECT_TRUE(ResetEvent(event)) << "resetting a reset event is fine";
    EXPECT_TRUE(CloseHandle(event));

    event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "created signalled";
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutoResetReleasesOneWait) {
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_OBJECT_0))
        << "created signalled";
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the successful wait reset it";

    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event));  // setting twice does not count twice
    EXPECT_EQ(WaitForSingleObject(event, 10), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(event, 10), static_cast<DWORD>(WAIT_TIMEOUT))
        << "an auto-reset event is not a counter";

    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "ResetEvent clears an auto-reset event too";
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Time, SleepAndTickCount) {
    DWORD before = GetTickCount();
    Sleep(0);
    Sleep(50);
    DWORD after = GetTickCount();
    // The tick may advance in steps of about 16 ms on Windows.
    EXPECT_GE(after - before, 30u) << "Sleep(50) returned after " << after - before << " ms";

    DWORD last = GetTickCount();
    for (int i = 0; i < 10000; ++i) {
        DWORD now = GetTickCount();
        ASSERT_LT(now - last, 10000u) << "GetTickCount went backwards";
        last = now;
    }
    DWORD tick32 = GetTickCount();
    ULONGLONG tick64 = GetTickCount64();
    EXPECT_LT(static_cast<DWORD>(tick64) - tick32, 1000u)
        << "GetTickCount is the low part of GetTickCount64";
}

TEST(SystemInfo, NativeArchitectureAndLanguage) {
    SYSTEM_INFO info;
    std::memset(&info, 0xcc, sizeof info);
    GetNativeSystemInfo(&info);
    WORD arch = info.wProcessorArchitecture;
    EXPECT_TRUE(arch == PROCESSOR_ARCHITECTURE_INTEL || arch == PROCESSOR_ARCHITECTURE_AMD64 ||
                arch == PROCESSOR_ARCHITECTURE_IA64 || arch == PROCESSOR_ARCHITECTURE_ARM64 ||
                arch == PROCESSOR_ARCHITECTURE_ARM)
        << "unexpected architecture " << arch;
    EXPECT_GE(info.dwNumberOfProcessors, 1u) << "the structure is filled in";
    EXPECT_NE(info.dwPageSize, 0xccccccccu) << "the structure is filled in";
#if defined(_WIN64) || defined(__x86_64__)
    EXPECT_NE(arch, PROCESSOR_ARCHITECTURE_INTEL) << "a 64-bit process runs on a 64-bit system";
#endif

    LANGID lang = GetUserDefaultLangID();
    EXPECT_NE(lang, 0) << "the user has a language";
    EXPECT_NE(PRIMARYLANGID(lang), 0) << "the language has a primary language";
}

bool EndsWithNoCase(const WideText& text, const char* suffix) {
    WideText tail = Widen(suffix);
    if (text.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        WCHAR a = text[text.size() - tail.size() + i], b = tail[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<WCHAR>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<WCHAR>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

TEST(Modules, FileNameOfTheExecutable) {
    WCHAR path[MAX_PATH];
    SetLastError(kPoison);
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u) << "GetModuleFileNameW failed: " << GetLastError();
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(path[length], 0) << "the path is terminated";
    WideText full(path, length);
    EXPECT_TRUE(EndsWithNoCase(full, "\\platform_contract_tests.exe") ||
                EndsWithNoCase(full, "\\platform_contract_tests"))
        << "expected the executable's own name, got " << Show(full);
    EXPECT_TRUE(length >= 3 && path[1] == ':' && path[2] == '\\')
        << "expected a drive-letter path, got " << Show(full);

    // Too short: truncated to the buffer, terminated, the buffer size returned.
    WCHAR shortBuffer[8];
    for (WCHAR& c : shortBuffer) c = 'x';
    SetLastError(kPoison);
    DWORD truncated = GetModuleFileNameW(nullptr, shortBuffer, 5);
    DWORD error = GetLastError();
    EXPECT_EQ(truncated, 5u) << "a short buffer returns its size";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(shortBuffer[4], 0) << "the truncated path is terminated";
    EXPECT_EQ(Show(shortBuffer, 4), Show(path, 4)) << "the truncated path is its beginning";
    EXPECT_EQ(shortBuffer[5], 'x') << "nothing is written past the buffer";

    // Exactly the length: no room for the terminator, still truncated.
    SetLastError(kPoison);
    std::basic_string<WCHAR> exact(length, 'x');
    DWORD noRoom = GetModuleFileNameW(nullptr, exact.data(), length);
    error = GetLastError();
    EXPECT_EQ(noRoom, length);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(exact[length - 1], 0);
}

TEST(Modules, LoadLibraryOfKnownAndMissingDlls) {
    SetLastError(kPoison);
    HMODULE spooler = LoadLibraryW(TEXT("WINSPOOL.DRV"));
    ASSERT_NE(spooler, nullptr) << "WINSPOOL.DRV loads: error " << GetLastError();
    SetLastError(kPoison);
    FARPROC missing = GetProcAddress(spooler, "NoSuchExportInThisDll");
    DWORD error = GetLastError();
    EXPECT_EQ(missing, nullptr) << "an export that does not exist";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    HMODULE again = LoadLibraryW(TEXT("winspool.drv"));
    EXPECT_EQ(again, spooler) << "loading a loaded DLL again, in any case, gives the same module";
    if (again) FreeLibrary(again);
    EXPECT_TRUE(FreeLibrary(spooler));

    SetLastError(kPoison);
    HMODULE none = LoadLibraryW(TEXT("drovan_no_such_library.dll"));
    error = GetLastError();
    EXPECT_EQ(none, nullptr) << "a DLL that does not exist";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << "expected ERROR_MOD_NOT_FOUND";
}

}  // namespace
}  // namespace contract
