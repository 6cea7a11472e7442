#include <fstream>

#include "fresh_machine.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

class MachineToolTest : public FreshMachine {
protected:
    CommandResult Tool(const std::string& args) {
        return RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine '" + m_folder.string() + "' " + args);
    }
};

TEST_F(MachineToolTest, InitShowAndJson) {
    std::string fresh = (m_folder.parent_path() / "fresh").string();
    auto r = RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine '" + fresh + "' init --lang 1028");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("created: x64, language 1028"), std::string::npos) << r.out;
    r = Tool("init --lang 2052 --arch x86");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("updated: x86, language 2052, code page 936"), std::string::npos) << r.out;
    r = Tool("--json show");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"arch\":\"x86\",\"lang\":2052,\"codePage\":936"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"name\":\"COM1:\",\"type\":\"REG_SZ\",\"data\":\"9600,n,8,1\"}"), std::string::npos)
        << r.out;
    // The machine the tool made is the one the Win32 calls see.
    EXPECT_EQ(GetUserDefaultLangID(), 2052);
}

TEST_F(MachineToolTest, RegistryVerbsRoundTripThroughTheWin32Calls) {
    ASSERT_EQ(Tool("reg set 'HKLM\\SOFTWARE\\Drovan Test' Port REG_SZ 'COM3:'").status, 0);
    ASSERT_EQ(Tool("reg set 'HKLM\\SOFTWARE\\Drovan Test' Number REG_DWORD 0x10").status, 0);
    ASSERT_EQ(Tool("reg set 'HKLM\\SOFTWARE\\Drovan Test' List REG_MULTI_SZ a bc").status, 0);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("software\\drovan test"), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD number = 0, cb = sizeof number;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Number"), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 16u);
    WCHAR list[16];
    cb = sizeof list;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("List"), nullptr, nullptr, reinterpret_cast<BYTE*>(list), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(cb, 12u) << "a, bc and the empty string that ends the list";
    RegCloseKey(key);

    auto r = Tool("reg query 'HKLM\\SOFTWARE\\Drovan Test' Port");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Port    REG_SZ    COM3:"), std::string::npos) << r.out;
    EXPECT_EQ(Tool("reg delete 'HKLM\\SOFTWARE\\Drovan Test'").status, 0);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Drovan Test"), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Tool("reg query 'HKLM\\SOFTWARE\\Drovan Test'").status, 1);
}

TEST_F(MachineToolTest, BadInputIsNamedAndRefused) {
    struct Case {
        const char* args;
        int status;
        const char* says;
    };
    for (Case c : {Case{"frobnicate", 2, "unknown verb 'frobnicate'"},
                   Case{"reg query 'HKXX\\Software'", 2, "malformed registry path"},
                   Case{"reg query 'HKLM\\\\Software'", 2, "malformed registry path"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_DWORD -1", 2, "not a 32-bit unsigned number"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_FOO 1", 2, "unknown value type"},
                   Case{"fault set RegOpenKeyExW many", 2, "not a Win32 error code"},
                   Case{"init --arch sparc", 2, "--arch takes"},
                   Case{"fault clear NotSet", 1, "no fault is set"}}) {
        auto r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
    }
    auto r = RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine /proc/no/such show");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("/proc/no/such"), std::string::npos) << r.out;
}

TEST_F(MachineToolTest, FaultsSetByTheToolReachThisProcess) {
    HKEY key;
    ASSERT_EQ(Tool("fault set RegCreateKeyExW 1223 --times 2").status, 0);
    EXPECT_NE(Tool("fault list").out.find("RegCreateKeyExW\t1223\t2"), std::string::npos);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Z"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  1223);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Z"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(MachineToolTest, FilesListsDriveC) {
    fs::create_directories(m_folder / "drive_c" / "Temp");
    std::ofstream(m_folder / "drive_c" / "Temp" / "garland.out") << "0";
    auto r = Tool("files 'C:\\Temp'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("C:\\Temp\\garland.out  1"), std::string::npos) << r.out;
}
