#include <algorithm>
#include <fstream>

#include <sqlite3.h>

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
    EXPECT_NE(r.out.find("created: x64, language 1028, code page 950"), std::string::npos) << r.out;
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
                   Case{"reg set 'HKCU\\Software\\X' n REG_DWORD 4294967296", 2, "not a 32-bit unsigned number"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_DWORD ' 5'", 2, "not a 32-bit unsigned number"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_QWORD 1e30", 2, "not a 64-bit unsigned number"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_QWORD 18446744073709551616", 2, "not a 64-bit unsigned number"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_QWORD 0x", 2, "not a 64-bit unsigned number"},
                   Case{"reg set 'HKCU\\Software\\X' \"$(printf 'n\\377')\" REG_SZ a", 2, "is not valid UTF-8 text"},
                   Case{"--frobnicate show", 2, "unknown option '--frobnicate'"},
                   Case{"", 2, "no verb given"},
                   Case{"reg set 'HKCU\\Software\\X' n REG_FOO 1", 2, "unknown value type"},
                   Case{"fault set RegOpenKeyExW many", 2, "not a Win32 error code"},
                   Case{"init --arch sparc", 2, "--arch takes"},
                   Case{"fault clear NotSet", 1, "no fault is set"}}) {
        auto r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
        // One line: the error, and where help is for a mistake in the command line.
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << c.args << ": " << r.out;
        if (c.status == 2) {
            EXPECT_NE(r.out.find("(see drovan-machine --help)"), std::string::npos) << r.out;
        }
    }
    EXPECT_EQ(RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine").out,
              "drovan-machine: --machine needs a folder (see drovan-machine --help)\n");
    auto r = RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine /proc/no/such show");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("/proc/no/such"), std::string::npos) << r.out;
}

// What reg set stores is the value's own type and size, read back through the Win32 call.
TEST_F(MachineToolTest, ValuesKeepTheirTypeAndSize) {
    struct Case {
        const char* type;
        const char* data;
        DWORD expectedType;
        std::string bytes;
        const char* shown;  // by reg query
    };
    const Case cases[] = {
        {"REG_QWORD", "10", REG_QWORD, std::string("\x0a\0\0\0\0\0\0\0", 8), "0x000000000000000a (10)"},
        {"REG_QWORD", "0xFFFFFFFFFFFFFFFF", REG_QWORD, std::string(8, '\xff'), "(18446744073709551615)"},
        {"REG_DWORD", "010", REG_DWORD, std::string("\x0a\0\0\0", 4), "0x0000000a (10)"},
        {"REG_DWORD", "4294967295", REG_DWORD, std::string(4, '\xff'), "0xffffffff (4294967295)"},
        {"REG_SZ", "''", REG_SZ, std::string(2, '\0'), "REG_SZ    \n"},
        {"REG_EXPAND_SZ", "'%TEMP%'", REG_EXPAND_SZ, std::string("%\0T\0E\0M\0P\0%\0\0\0", 14), "%TEMP%"},
        {"REG_BINARY", "''", REG_BINARY, std::string(), "REG_BINARY    \n"},
        {"REG_NONE", "01:ff", REG_NONE, std::string("\x01\xff", 2), "01 ff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.data);
        auto r = Tool(std::string("reg set 'HKCU\\Software\\Sizes' V ") + c.type + " " + c.data);
        ASSERT_EQ(r.status, 0) << r.out;
        HKEY key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Sizes"), 0, KEY_READ, &key), ERROR_SUCCESS);
        BYTE data[32];
        DWORD type = 0, cb = sizeof data;
        EXPECT_EQ(RegQueryValueExW(key, TEXT("V"), nullptr, &type, data, &cb), ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_EQ(type, c.expectedType);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data), cb), c.bytes);
        r = Tool("reg query 'HKCU\\Software\\Sizes' V");
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
    }
}

// A machine written by a later version is named as such, and left as it is.
TEST_F(MachineToolTest, NewerSchemaIsNotCalledCorrupt) {
    // Another connection, as a later program would have written it.
    auto setSchema = [&](const char* version) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open((m_folder / "machine.db").string().c_str(), &db);
        sqlite3_stmt* s = nullptr;
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, "UPDATE machine SET value=? WHERE key='schema'", -1, &s, nullptr);
        if (rc == SQLITE_OK) sqlite3_bind_text(s, 1, version, -1, SQLITE_TRANSIENT);
        if (rc == SQLITE_OK) rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return rc == SQLITE_OK;
    };
    ASSERT_TRUE(setSchema("7"));
    auto r = Tool("show");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("was written by a newer version of this program (schema 7; this one reads schema 1)"),
              std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("corrupt"), std::string::npos) << r.out;
    ASSERT_TRUE(setSchema("seven"));
    r = Tool("show");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("is unreadable or corrupt (unknown schema 'seven')"), std::string::npos) << r.out;
    ASSERT_TRUE(setSchema("1"));
    EXPECT_EQ(Tool("show").status, 0);
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
