// _wsystem on the simulated machine: the command line is recorded in the machine's event
// log, as cmd.exe would be given it, and never reaches a host shell.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

class CrtSystem : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/drovan-crt-system-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        sim::UseMachine(m_root / "machine");
        sim::CurrentMachine();
    }
    void TearDown() override {
        sim::UseMachine("/nonexistent-after-test");
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    static std::u16string Value(HKEY key, LPCWSTR name) {
        std::u16string text(40000, u'\0');
        DWORD type = 0, cb = static_cast<DWORD>(text.size() * sizeof(WCHAR));
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &cb) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return u"";
        text.resize(cb / sizeof(WCHAR));
        while (!text.empty() && text.back() == u'\0') text.pop_back();
        return text;
    }

    // The command lines of the events recorded by the runtime, oldest first.
    std::vector<std::u16string> CommandLines() {
        std::vector<std::u16string> lines;
        HKEY log = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\DrovanEvents", 0, KEY_READ, &log) != ERROR_SUCCESS)
            return lines;
        for (DWORD i = 0;; ++i) {
            WCHAR name[64];
            DWORD cch = 64;
            if (RegEnumKeyExW(log, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            HKEY event = nullptr;
            if (RegOpenKeyExW(log, name, 0, KEY_READ, &event) != ERROR_SUCCESS) continue;
            if (Value(event, u"Source") == u"CRT") lines.push_back(Value(event, u"CommandLine"));
            RegCloseKey(event);
        }
        RegCloseKey(log);
        return lines;
    }

    fs::path m_root;
};

TEST_F(CrtSystem, RecordsTheInterpretersCommandLineInsteadOfRunningIt) {
    const fs::path marker = m_root / "host-shell-ran";
    const std::u16string command = u"echo x > " + fs::path(marker).u16string();
    EXPECT_EQ(_wsystem(command.c_str()), 0);
    EXPECT_EQ(_wsystem(u"start explorer https://www.drovan.example/"), 0);
    EXPECT_FALSE(fs::exists(marker)) << "a host shell ran the command";
    auto lines = CommandLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"C:\\Windows\\System32\\cmd.exe /c " + command);
    EXPECT_EQ(lines[1], u"C:\\Windows\\System32\\cmd.exe /c start explorer https://www.drovan.example/");
}

TEST_F(CrtSystem, NullAsksWhetherAnInterpreterExists) {
    EXPECT_NE(_wsystem(nullptr), 0);
    EXPECT_TRUE(CommandLines().empty());
}

TEST_F(CrtSystem, MissingInterpreterFailsWithEnoent) {
    sim::SetFault(sim::CurrentMachine().Db(), {"_wsystem", ERROR_FILE_NOT_FOUND, 2});
    errno = 0;
    EXPECT_EQ(_wsystem(u"start explorer https://www.drovan.example/"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_wsystem(nullptr), 0);
    EXPECT_TRUE(CommandLines().empty());
    EXPECT_EQ(_wsystem(u"dir"), 0) << "the fault was used up";
    EXPECT_EQ(CommandLines().size(), 1u);
}

TEST_F(CrtSystem, OverlongCommandLineIsRefusedWithE2big) {
    std::u16string command(32767, u'a');
    errno = 0;
    EXPECT_EQ(_wsystem(command.c_str()), -1);
    EXPECT_EQ(errno, E2BIG);
    EXPECT_TRUE(CommandLines().empty());
}

}  // namespace
