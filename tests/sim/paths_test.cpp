#include <fstream>

#include "fresh_machine.h"
#include "platform/sim/paths.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

using PathsTest = FreshMachine;

TEST_F(PathsTest, DrivesMapToTheMachineAndTheHost) {
    DWORD error = 0;
    auto c = sim::HostPath(u"C:\\Windows\\System32", &error);
    ASSERT_TRUE(c);
    EXPECT_EQ(*c, m_folder / "drive_c" / "Windows" / "System32");
    auto lower = sim::HostPath(u"c:/windows/SYSTEM32", &error);
    ASSERT_TRUE(lower);
    EXPECT_EQ(*lower, *c) << "names match case-insensitively and keep the stored case";
    auto z = sim::HostPath(u"Z:\\tmp", &error);
    ASSERT_TRUE(z);
    EXPECT_EQ(*z, fs::path("/tmp"));
    EXPECT_FALSE(sim::HostPath(u"d:\\myLog.txt", &error)) << "drive D: does not exist";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(sim::HostPath(u"C:\\a|b", &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));

    EXPECT_EQ(sim::WindowsPath(m_folder / "drive_c" / "Setup" / "x.exe"), u"C:\\Setup\\x.exe");
    EXPECT_EQ(sim::WindowsPath(m_folder / "drive_c"), u"C:\\");
    EXPECT_EQ(sim::WindowsPath("/usr/bin/env"), u"Z:\\usr\\bin\\env");
}

TEST_F(PathsTest, ModulePathIsTheExecutableSeenThroughTheDrives) {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::u16string expected = sim::WindowsPath(fs::read_symlink("/proc/self/exe"));
    EXPECT_EQ(std::u16string(path), expected);
    EXPECT_EQ(expected.substr(0, 3), u"Z:\\");
}

TEST_F(PathsTest, CreateDirectoryAndAccessUseWindowsPaths) {
    EXPECT_NE(_access("C:\\Temp", 0), 0);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(CreateDirectoryA("C:\\Temp", nullptr));
    EXPECT_TRUE(fs::is_directory(m_folder / "drive_c" / "Temp"));
    EXPECT_EQ(_access("c:\\temp", 0), 0);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA("C:\\Temp", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA("C:\\No\\Such", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    FILE* f = nullptr;
    ASSERT_EQ(fopen_s(&f, "C:\\Temp\\garland.out", "wb+"), 0);
    std::fputs("1", f);
    std::fclose(f);
    std::ifstream in(m_folder / "drive_c" / "Temp" / "garland.out");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "1");
    EXPECT_NE(fopen_s(&f, "D:\\x.txt", "wb"), 0) << "no drive D:";
}

TEST_F(PathsTest, LinksAreSeenAsReparsePointsAndHardLinksCounted) {
    fs::create_directories(m_folder / "drive_c" / "Temp");
    std::ofstream(m_folder / "drive_c" / "target.txt") << "precious";
    fs::create_symlink(m_folder / "drive_c" / "target.txt", m_folder / "drive_c" / "Temp" / "sym.out");
    fs::create_hard_link(m_folder / "drive_c" / "target.txt", m_folder / "drive_c" / "Temp" / "hard.out");
    DWORD attrs = GetFileAttributesW(TEXT("C:\\Temp\\sym.out"));
    ASSERT_NE(attrs, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attrs & FILE_ATTRIBUTE_REPARSE_POINT);
    HANDLE h = CreateFileW(TEXT("C:\\Temp\\hard.out"), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(GetFileInformationByHandle(h, &info));
    EXPECT_EQ(info.nNumberOfLinks, 2u);
    CloseHandle(h);
}
