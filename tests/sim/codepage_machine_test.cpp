#include <cstring>

#include "fresh_machine.h"
#include "platform/win32.h"

using CodePageTest = FreshMachine;

TEST_F(CodePageTest, SimplifiedChineseMachineConvertsToGbk) {
    Reinit({sim::Arch::X64, 2052});
    ASSERT_EQ(GetACP(), 936u);
    const WCHAR text[] = TEXT("打印机 QB410");
    char out[32] = {};
    SetLastError(0xdeadbeef);
    int n = WideCharToMultiByte(CP_ACP, 0x240, text, static_cast<int>(wcslen(text)), out, sizeof out,
                                nullptr, nullptr);
    ASSERT_EQ(n, 12) << "three double-byte characters, a blank and five ASCII";
    EXPECT_EQ(std::memcmp(out, "\xB4\xF2\xD3\xA1\xBB\xFA QB410", 12), 0);

    WCHAR back[32] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, out, n, back, 32), 9);
    EXPECT_EQ(std::u16string(back), std::u16string(text));

    // Thai has no GBK form: the default character stands in.
    const WCHAR thai[] = {0x0E01, u'x', 0};
    BOOL used = FALSE;
    std::memset(out, 0, sizeof out);
    n = WideCharToMultiByte(CP_ACP, 0, thai, -1, out, sizeof out, nullptr, &used);
    EXPECT_EQ(n, 3);
    EXPECT_STREQ(out, "?x");
    EXPECT_TRUE(used);
}

// Taiwan's language: code page 950 (Big5) for ANSI and OEM text, as Windows has it.
TEST_F(CodePageTest, TraditionalChineseMachineConvertsToBig5) {
    Reinit({sim::Arch::X64, 1028});
    ASSERT_EQ(GetACP(), 950u);
    EXPECT_EQ(GetOEMCP(), 950u);
    const WCHAR text[] = TEXT("印表機 QB410");
    char out[32] = {};
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
    ASSERT_EQ(n, 13) << "three double-byte characters, a blank, five ASCII and the terminator";
    EXPECT_EQ(std::memcmp(out, "\xA6\x4C\xAA\xED\xBE\xF7 QB410", 13), 0);
    WCHAR back[32] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, out, -1, back, 32), 10) << "nine characters and the terminator";
    EXPECT_EQ(std::u16string(back), std::u16string(text));

    // Bytes Big5 leaves undefined: 0x80 stands for itself, 0xFF for a private-use character,
    // a lead byte with nothing after it for the default character; MB_ERR_INVALID_CHARS
    // refuses the last.
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80\xFF\xA4", 3, back, 32), 3);
    EXPECT_EQ(back[0], 0x0080);
    EXPECT_EQ(back[1], 0xF8F8);
    EXPECT_EQ(back[2], 0x30FB);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\xA4", 2, back, 32), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST_F(CodePageTest, WesternMachineUsesCodePage1252) {
    Reinit({sim::Arch::X64, 1033});
    const WCHAR text[] = {0x20AC, 0x00E9, 0x4E2D, u'!', 0};  // euro, e acute, a Han character
    char out[8] = {};
    BOOL used = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, &used);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(std::memcmp(out, "\x80\xE9?!", 5), 0);
    EXPECT_TRUE(used);
    WCHAR back[8];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80\xE9", 2, back, 8), 2);
    EXPECT_EQ(back[0], 0x20AC);
    EXPECT_EQ(back[1], 0x00E9);
}

TEST_F(CodePageTest, SettingsFollowAChangeMadeByAnotherProcess) {
    Reinit({sim::Arch::X64, 1033});
    const WCHAR text[] = TEXT("端口");
    char out[8] = {};
    ASSERT_EQ(GetACP(), 1252u);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, out, sizeof out, nullptr, nullptr), 2) << "two question marks in 1252";
    // The machine is kept open here while drovan-machine changes it.
    std::string tool = std::string(DROVAN_MACHINE_TOOL) + " --machine '" + m_folder.string() + "' ";
    ASSERT_EQ(RunCommand(tool + "init --lang 2052 --arch x86").status, 0);
    EXPECT_EQ(GetACP(), 936u);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, out, sizeof out, nullptr, nullptr), 4);
    EXPECT_EQ(std::memcmp(out, "\xB6\xCB\xBF\xDA", 4), 0);
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
    ASSERT_EQ(RunCommand(tool + "init --lang 1033 --arch x64").status, 0);
    EXPECT_EQ(GetACP(), 1252u);
    GetNativeSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    // And a change made by this process through another connection to the machine.
    std::string error;
    auto other = sim::Machine::Open(m_folder, nullptr, &error);
    ASSERT_TRUE(other) << error;
    other->SetSettings({sim::Arch::X64, 2052});
    EXPECT_EQ(GetACP(), 936u);
}
