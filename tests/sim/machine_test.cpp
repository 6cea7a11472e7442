#include <sqlite3.h>

#include <fstream>

#include "fresh_machine.h"
#include "platform/sim/faults.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

using MachineTest = FreshMachine;

TEST_F(MachineTest, NewMachineHasTheDefaultSetUp) {
    SYSTEM_INFO si;
    GetNativeSystemInfo(&si);
    EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64) << "a default machine is 64-bit";
    EXPECT_TRUE(fs::exists(m_folder / "machine.db"));
    EXPECT_TRUE(fs::is_directory(m_folder / "drive_c" / "Windows"));
    EXPECT_FALSE(fs::exists(m_folder / "drive_c" / "Temp")) << "C:\\Temp is the program's to create";

    HKEY ports;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"),
                            0, KEY_READ, &ports),
              ERROR_SUCCESS);
    std::vector<std::u16string> names;
    WCHAR name[64];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 64;
        if (RegEnumValueW(ports, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"COM1:", u"COM2:", u"COM3:", u"COM4:", u"FILE:",
                                                  u"LPT1:", u"LPT2:", u"LPT3:"}));
    WCHAR data[32];
    DWORD cb = sizeof data, type = 0;
    ASSERT_EQ(RegQueryValueExW(ports, TEXT("COM3:"), nullptr, &type, reinterpret_cast<BYTE*>(data), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::u16string(data), u"9600,n,8,1");
    EXPECT_EQ(cb, 22u) << "the stored text includes its terminator";
    RegCloseKey(ports);
}

TEST_F(MachineTest, SettingsChooseArchitectureLanguageAndCodePage) {
    struct Case {
        sim::Arch arch;
        LANGID lang;
        WORD processor;
        UINT acp;
    };
    for (Case c : {Case{sim::Arch::X86, 2052, PROCESSOR_ARCHITECTURE_INTEL, 936},
                   Case{sim::Arch::IA64, 1028, PROCESSOR_ARCHITECTURE_IA64, 950},
                   Case{sim::Arch::X64, 3076, PROCESSOR_ARCHITECTURE_AMD64, 950},
                   Case{sim::Arch::X64, 4100, PROCESSOR_ARCHITECTURE_AMD64, 936},
                   Case{sim::Arch::ARM64, 1033, PROCESSOR_ARCHITECTURE_ARM64, 1252}}) {
        TearDown();
        SetUp();
        Reinit({c.arch, c.lang});
        SYSTEM_INFO si;
        GetNativeSystemInfo(&si);
        EXPECT_EQ(si.wProcessorArchitecture, c.processor) << sim::ArchName(c.arch);
        EXPECT_EQ(GetUserDefaultLangID(), c.lang);
        EXPECT_EQ(GetACP(), c.acp) << "language " << c.lang;
    }
}

TEST(MachineLocale, LanguageFollowsTheLocale) {
    auto with = [](const char* lang) {
        setenv("LC_ALL", lang, 1);
        LANGID id = sim::LangFromLocale();
        unsetenv("LC_ALL");
        return id;
    };
    EXPECT_EQ(with("zh_CN.UTF-8"), 2052);
    EXPECT_EQ(with("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(with("de_DE.UTF-8"), 1033);
    EXPECT_EQ(with("C"), 1033);
}

TEST_F(MachineTest, CorruptDatabaseIsReportedAndLeftUntouched) {
    sim::UseMachine("/nonexistent");  // let go of the database this test damages
    {
        std::ofstream f(m_folder / "machine.db", std::ios::trunc);
        f << "this is not a database";
    }
    std::string error;
    EXPECT_FALSE(sim::Machine::Open(m_folder, nullptr, &error));
    EXPECT_NE(error.find(m_folder.string()), std::string::npos) << error;
    EXPECT_NE(error.find("corrupt"), std::string::npos) << error;
    std::ifstream f(m_folder / "machine.db");
    std::string content((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "this is not a database");
}

TEST_F(MachineTest, FolderThatIsNotAMachineIsRefused) {
    fs::path other = m_folder.parent_path() / "someone-elses";
    fs::create_directories(other);
    std::ofstream(other / "notes.txt") << "mine";
    std::string error;
    EXPECT_FALSE(sim::Machine::Open(other, nullptr, &error));
    EXPECT_NE(error.find("not a machine folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(other / "machine.db"));
}

TEST_F(MachineTest, FaultsFailTheNamedOperationAsOftenAsTold) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\F"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    auto& db = sim::CurrentMachine().Db();
    sim::SetFault(db, {"RegOpenKeyExW", ERROR_ACCESS_DENIED, 2});
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\F"), 0, KEY_READ, &key),
                  ERROR_ACCESS_DENIED)
            << "use " << i;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\F"), 0, KEY_READ, &key), ERROR_SUCCESS)
        << "the fault was used up";
    RegCloseKey(key);
    EXPECT_TRUE(sim::ListFaults(db).empty());

    sim::SetFault(db, {"CreateThread", ERROR_NOT_ENOUGH_MEMORY, sim::kAlways});
    for (int i = 0; i < 3; ++i) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    }
    EXPECT_TRUE(sim::ClearFault(db, "CreateThread"));
    HANDLE t = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    EXPECT_NE(t, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
}

TEST_F(MachineTest, FaultCanLetCallsPassFirst) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\F"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    auto& db = sim::CurrentMachine().Db();
    sim::SetFault(db, {"RegOpenKeyExW", ERROR_ACCESS_DENIED, 1, 2});
    LONG results[4];
    for (LONG& r : results) {
        r = RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\F"), 0, KEY_READ, &key);
        if (r == ERROR_SUCCESS) RegCloseKey(key);
    }
    EXPECT_EQ(results[0], ERROR_SUCCESS);
    EXPECT_EQ(results[1], ERROR_SUCCESS);
    EXPECT_EQ(results[2], ERROR_ACCESS_DENIED);
    EXPECT_EQ(results[3], ERROR_SUCCESS);
}

// A machine folder made before faults could wait for their turn opens, keeps its faults and
// takes the new kind.
TEST_F(MachineTest, OlderMachineGainsTheFaultsSkipColumn) {
    sim::SetFault(sim::CurrentMachine().Db(), {"RegOpenKeyExW", ERROR_ACCESS_DENIED, 3});
    sim::UseMachine("/nonexistent");  // let go of the database
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((m_folder / "machine.db").c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "ALTER TABLE faults DROP COLUMN skip", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    sim::UseMachine(m_folder);
    auto& db = sim::CurrentMachine().Db();
    auto faults = sim::ListFaults(db);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].remaining, 3);
    EXPECT_EQ(faults[0].skip, 0);
    sim::SetFault(db, {"CreateThread", ERROR_NOT_ENOUGH_MEMORY, 1, 5});
    EXPECT_EQ(sim::ListFaults(db)[0].skip, 5);
}
