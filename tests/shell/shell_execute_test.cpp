// ShellExecuteExW on the simulated machine: which program a name finds, what the child
// receives, the failures and faults, and waiting for the child on the machine clock.
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fresh_machine.h"
#include "platform/sim/clock.h"
#include "platform/sim/faults.h"
#include "platform/sim/handles.h"
#include "platform/sim/shell_programs.h"
#include "platform/sim/text.h"
#include "platform/sim/waitable.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

// A host program that records who it is, its arguments, its directory and the command
// line it was given, in the machine folder's ran.txt.
void WriteProbe(const fs::path& path, const std::string& identity) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << "#!/bin/sh\n"
        << "{ printf '%s\\n' \"ran=" << identity << "\" \"cwd=$(pwd)\" "
        << "\"line=$DROVAN_COMMAND_LINE\"; for a in \"$@\"; do printf '%s\\n' \"arg=$a\"; done; } "
        << ">> \"$DROVAN_MACHINE/ran.txt\"\n";
    out.close();
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

class ShellLaunch : public FreshMachine {
protected:
    void SetUp() override {
        FreshMachine::SetUp();
        m_cwd = fs::current_path();
        m_driveC = sim::CurrentMachine().DriveC();
        sim::WriteSystemPrograms(m_driveC);  // as a new machine has them
        WriteProbe(m_folder.parent_path() / "printui-probe", "printui");
        setenv("DROVAN_PRINTUI", (m_folder.parent_path() / "printui-probe").c_str(), 1);
        fs::create_directories(m_driveC / "Users/Public/Downloads");
        ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Users\\Public"));
    }
    void TearDown() override {
        fs::current_path(m_cwd);
        unsetenv("DROVAN_PRINTUI");
        FreshMachine::TearDown();
    }

    // Launches and waits for the child; false with the launch's error.
    bool Launch(const char16_t* file, const char16_t* params = nullptr, const char16_t* dir = nullptr,
                DWORD* error = nullptr) {
        SHELLEXECUTEINFOW sei = {};
        sei.cbSize = 60;
        sei.fMask = SEE_MASK_NOCLOSEPROCESS;
        sei.lpVerb = u"open";
        sei.lpFile = file;
        sei.lpParameters = params;
        sei.lpDirectory = dir;
        sei.nShow = SW_SHOWNORMAL;
        SetLastError(0xdeadbeef);
        if (!ShellExecuteExW(&sei)) {
            if (error) *error = GetLastError();
            EXPECT_EQ(sei.hProcess, nullptr);
            return false;
        }
        EXPECT_GT(reinterpret_cast<INT_PTR>(sei.hInstApp), 32);
        EXPECT_NE(sei.hProcess, nullptr);
        EXPECT_EQ(WaitForSingleObject(sei.hProcess, 60000), WAIT_OBJECT_0);
        CloseHandle(sei.hProcess);
        return true;
    }

    // What the children recorded since the last call.
    std::vector<std::string> Ran() {
        std::vector<std::string> lines;
        std::ifstream in(m_folder / "ran.txt");
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        in.close();
        fs::remove(m_folder / "ran.txt");
        return lines;
    }

    fs::path m_cwd, m_driveC;
};

using V = std::vector<std::string>;

}  // namespace

// A new machine's system directory holds the rundll32 marker that the shell maps.
TEST_F(FreshMachine, TheSystemDirectoryHoldsRundll32) {
    fs::path rundll32 = sim::CurrentMachine().DriveC() / "Windows/System32/rundll32.exe";
    ASSERT_TRUE(fs::exists(rundll32));
    EXPECT_EQ(sim::SystemProgramName(rundll32), "rundll32");
}

TEST_F(ShellLaunch, TheSystemRundll32RunsThePrintUiWithWindowsArguments) {
    const char16_t* params =
        u"PRINTUI.DLL,PrintUIEntry /if /n \"QB410 Printer\" /f \"C:\\Setup\\MR2A.inf\" /r \"COM1:\" "
        u"/m \"QB410 Printer\" ";
    ASSERT_TRUE(Launch(u"C:\\Windows\\System32\\rundll32.exe", params));
    EXPECT_EQ(Ran(), (V{"ran=printui", "cwd=" + (m_driveC / "Users/Public").string(),
                        "line=\"C:\\Windows\\System32\\rundll32.exe\" " + sim::ToUtf8(params),
                        "arg=PRINTUI.DLL,PrintUIEntry", "arg=/if", "arg=/n", "arg=QB410 Printer",
                        "arg=/f", "arg=C:\\Setup\\MR2A.inf", "arg=/r", "arg=COM1:", "arg=/m",
                        "arg=QB410 Printer"}));

    // Quotes and backslashes by Windows' rules; no extension and another case find it too.
    ASSERT_TRUE(Launch(u"c:\\windows\\system32\\RUNDLL32", u"a\\\"b \"c d\\\\\" \"\""));
    auto ran = Ran();
    ASSERT_EQ(ran.size(), 6u);
    EXPECT_EQ(ran[0], "ran=printui");
    EXPECT_EQ((V{ran[3], ran[4], ran[5]}), (V{"arg=a\"b", "arg=c d\\", "arg="}));
}

TEST_F(ShellLaunch, ABareRundll32RunsOnePlantedInTheCurrentDirectory) {
    WriteProbe(m_driveC / "Users/Public/Downloads/rundll32.exe", "planted");
    ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Users\\Public\\Downloads"));
    ASSERT_TRUE(Launch(u"rundll32", u"PRINTUI.DLL,PrintUIEntry /if"));
    auto ran = Ran();
    ASSERT_FALSE(ran.empty());
    EXPECT_EQ(ran[0], "ran=planted") << "the shell looks in the current directory first";
    EXPECT_EQ(ran[2], "line=\"C:\\Users\\Public\\Downloads\\rundll32.exe\" PRINTUI.DLL,PrintUIEntry /if");

    ASSERT_TRUE(Launch(u"C:\\Windows\\System32\\rundll32.exe", u"PRINTUI.DLL,PrintUIEntry /if"));
    ran = Ran();
    ASSERT_FALSE(ran.empty());
    EXPECT_EQ(ran[0], "ran=printui") << "the full system path never runs the planted one";

    ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Users\\Public"));
    ASSERT_TRUE(Launch(u"rundll32", u"x"));
    EXPECT_EQ(Ran()[0], "ran=printui") << "elsewhere the bare name finds the system's";
}

TEST_F(ShellLaunch, BareNamesFollowTheSearchOrder) {
    HKEY env;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &env, nullptr),
              ERROR_SUCCESS);
    std::u16string path = u"%SystemRoot%\\system32;C:\\Tools;;";
    ASSERT_EQ(RegSetValueExW(env, u"Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(env);

    WriteProbe(m_driveC / "Tools/tool.exe", "path");
    ASSERT_TRUE(Launch(u"tool"));
    EXPECT_EQ(Ran()[0], "ran=path");
    WriteProbe(m_driveC / "Windows/tool.exe", "windows");
    ASSERT_TRUE(Launch(u"tool"));
    EXPECT_EQ(Ran()[0], "ran=windows");
    WriteProbe(m_driveC / "Windows/System32/tool.exe", "system32");
    ASSERT_TRUE(Launch(u"TOOL.EXE"));
    EXPECT_EQ(Ran()[0], "ran=system32");
    WriteProbe(m_driveC / "Users/Public/tool.exe", "current");
    ASSERT_TRUE(Launch(u"tool"));
    EXPECT_EQ(Ran()[0], "ran=current");

    // The launch's directory takes the current directory's place, and the child runs there.
    WriteProbe(m_driveC / "Work/tool.exe", "directory");
    ASSERT_TRUE(Launch(u"tool", nullptr, u"C:\\Work"));
    EXPECT_EQ(Ran(), (V{"ran=directory", "cwd=" + (m_driveC / "Work").string(),
                        "line=\"C:\\Work\\tool.exe\""}));
    // A relative path is taken from the launch's directory too.
    ASSERT_TRUE(Launch(u"..\\Tools\\tool.exe", nullptr, u"C:\\Work"));
    EXPECT_EQ(Ran()[0], "ran=path");
}

TEST_F(ShellLaunch, FailuresSetTheShellsErrors) {
    { std::ofstream(m_driveC / "Windows/notes.txt") << "text"; }
    { std::ofstream(m_driveC / "Windows/data.exe") << "not a program"; }
    struct Case {
        const char16_t* file;
        const char16_t* dir;
        DWORD error;
    } cases[] = {
        {u"nosuchprogram", nullptr, ERROR_FILE_NOT_FOUND},
        {u"C:\\Windows\\nosuch.exe", nullptr, ERROR_FILE_NOT_FOUND},
        {u"C:\\NoFolder\\x.exe", nullptr, ERROR_PATH_NOT_FOUND},
        {u"C:\\Windows\\notes.txt", nullptr, ERROR_NO_ASSOCIATION},
        {u"C:\\Windows\\data.exe", nullptr, ERROR_BAD_EXE_FORMAT},
        {u"rundll32", u"C:\\NoFolder", ERROR_DIRECTORY},
        {u"", nullptr, ERROR_FILE_NOT_FOUND},
        {u"C:\\bad<name.exe", nullptr, ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_FALSE(Launch(c.file, nullptr, c.dir, &error)) << sim::ToUtf8(c.file);
        EXPECT_EQ(error, c.error) << sim::ToUtf8(c.file);
    }

    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = 60;
    sei.lpVerb = u"print";
    sei.lpFile = u"C:\\Windows\\System32\\rundll32.exe";
    SetLastError(0);
    EXPECT_FALSE(ShellExecuteExW(&sei));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    EXPECT_EQ(reinterpret_cast<INT_PTR>(sei.hInstApp), SE_ERR_NOASSOC);
    sei.lpVerb = nullptr;
    sei.cbSize = 0;
    EXPECT_FALSE(ShellExecuteExW(&sei));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(ShellExecuteExW(nullptr));
    EXPECT_TRUE(Ran().empty()) << "nothing ran";

    // Without its print UI installed, the system's rundll32 cannot run.
    setenv("DROVAN_PRINTUI", "/nonexistent/drovan-printui", 1);
    DWORD error = 0;
    EXPECT_FALSE(Launch(u"C:\\Windows\\System32\\rundll32.exe", u"x", nullptr, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellLaunch, InjectedFaultsFailWithTheirCodeOnce) {
    for (DWORD code : {2u, 3u, 5u, 8u, 32u, 1155u, 1156u, 1157u, 1223u, 4u}) {
        sim::SetFault(sim::CurrentMachine().Db(), {"ShellExecuteExW", code, 1});
        SHELLEXECUTEINFOW sei = {};
        sei.cbSize = 60;
        sei.fMask = SEE_MASK_NOCLOSEPROCESS;
        sei.lpFile = u"rundll32";
        SetLastError(0);
        EXPECT_FALSE(ShellExecuteExW(&sei)) << code;
        EXPECT_EQ(GetLastError(), code);
        EXPECT_EQ(sei.hProcess, nullptr);
        EXPECT_LE(reinterpret_cast<INT_PTR>(sei.hInstApp), 32);
        EXPECT_TRUE(Launch(u"rundll32")) << "the fault was used up, code " << code;
    }
    EXPECT_EQ(Ran().size(), 30u) << "ten launches ran, each recording three lines";
}

TEST_F(ShellLaunch, WithoutNoCloseProcessTheChildRunsButNoHandleComesBack) {
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof sei;
    sei.lpFile = u"rundll32.exe";
    ASSERT_TRUE(ShellExecuteExW(&sei));
    EXPECT_EQ(sei.hProcess, nullptr);
    for (int i = 0; i < 1000 && !fs::exists(m_folder / "ran.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(m_folder / "ran.txt"));
}

// The installer waits at most 120 s for the print UI; on the driven clock that limit is
// reached without waiting for real. (Once driven, this process's clock stays driven.)
TEST_F(ShellLaunch, AWaitForAHungPrintUiTimesOutOnTheDrivenClock) {
    setenv("DROVAN_PRINTUI", DROVAN_PRINTUI_EXE, 1);
    sim::SetFault(sim::CurrentMachine().Db(), {"PrintUIEntry", ERROR_TIMEOUT, 1});
    sim::clock::Drive();
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = 60;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpFile = u"C:\\Windows\\System32\\rundll32.exe";
    sei.lpParameters = u"PRINTUI.DLL,PrintUIEntry /if /n \"P\" /f \"C:\\x.inf\" /r \"COM1:\" /m \"P\" ";
    ASSERT_TRUE(ShellExecuteExW(&sei));
    // The waiter notes the machine time its wait began and ended; time moves in steps
    // until the wait is over.
    std::atomic<DWORD> result{0xFFFFFFFF};
    std::atomic<sim::clock::Millis> begun{0}, ended{0};
    std::thread waiter([&] {
        begun = sim::clock::Now();
        result = WaitForSingleObject(sei.hProcess, 120000);
        ended = sim::clock::Now();
    });
    for (int step = 0; step < 2000 && result.load() == 0xFFFFFFFFu; ++step) {
        sim::clock::Advance(250);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(ended - begun, 120000u) << "the wait ended before 120 s of machine time";
    EXPECT_LT(ended - begun, 121000u);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(sei.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    kill(sim::Lookup<sim::ProcessObject>(sei.hProcess)->pid, SIGKILL);
    EXPECT_EQ(WaitForSingleObject(sei.hProcess, INFINITE), WAIT_OBJECT_0);
    CloseHandle(sei.hProcess);
}
