// Printer drivers: files copied into the driver directory, the driver enumerated, and
// DeletePrinterDriverExW's refusals (in use, unknown) and its removal of unused files.
#include <gtest/gtest.h>

#include "spooler_support.h"

namespace spooler {
namespace {

bool DriverListed(const WideText& name) {
    DWORD needed = 0, returned = 0;
    EnumPrinterDriversW(nullptr, nullptr, 3, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversW(nullptr, nullptr, 3, needed ? buffer.data() : nullptr, needed, &needed,
                             &returned)) {
        ADD_FAILURE() << "EnumPrinterDriversW: error " << GetLastError();
        return false;
    }
    const auto* r = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i)
        if (WideText(r[i].pName) == name) return true;
    return false;
}

TEST(PrinterDriverDirectory, TwoCallSizing) {
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, 2u);
    std::vector<BYTE> buffer(needed);
    SetLastError(kPoison);
    ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, buffer.data(), needed, &needed))
        << "error " << GetLastError();
    const auto* dir = reinterpret_cast<const WCHAR*>(buffer.data());
    size_t length = 0;
    while (dir[length]) ++length;
    EXPECT_EQ((length + 1) * sizeof(WCHAR), needed) << "the size counts the terminator, in bytes";
    EXPECT_TRUE(FileExists(dir)) << Show(dir) << " exists";
}

TEST(DriverInstallation, FilesAreCopiedAndTheDriverIsListed) {
    TestDriver driver(TestName(), {TEXT("drovanmain.dll"), TEXT("drovanmain.gpd")});
    ASSERT_TRUE(driver.Installed()) << "AddPrinterDriverExW: error " << driver.Error();
    EXPECT_TRUE(DriverListed(driver.Name()));
    EXPECT_TRUE(FileExists(driver.InstalledPath(TEXT("drovanmain.dll"))))
        << Show(driver.InstalledPath(TEXT("drovanmain.dll")));
    EXPECT_TRUE(FileExists(driver.InstalledPath(TEXT("drovanmain.gpd")))) << "dependent files are copied too";
}

TEST(DriverRemoval, UnknownDriverIsRefused) {
    Arg name(TestName(" which does not exist"));
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER))
        << "expected ERROR_UNKNOWN_PRINTER_DRIVER";
}

TEST(DriverRemoval, InUseUntilThePrinterIsGoneThenUnusedFilesGo) {
    // Two drivers share one file; deleting the first leaves it for the second.
    TestDriver first(TestName(" 1"), {TEXT("drovanfirst.dll"), TEXT("drovanshared.ini")});
    TestDriver second(TestName(" 2"), {TEXT("drovansecond.dll"), TEXT("drovanshared.ini")});
    ASSERT_TRUE(first.Installed() && second.Installed()) << first.Error() << ", " << second.Error();
    Arg name(first.Name());
    {
        TestPrinter printer(TestName(), first.Name(), TEXT("LPT1:"));
        ASSERT_TRUE(printer.Added()) << "error " << printer.Error();
        SetLastError(kPoison);
        EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE))
            << "a printer uses the driver: expected ERROR_PRINTER_DRIVER_IN_USE";
        EXPECT_TRUE(DriverListed(first.Name())) << "the driver stays";
    }
    SetLastError(kPoison);
    EXPECT_TRUE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3))
        << "error " << GetLastError();
    EXPECT_FALSE(DriverListed(first.Name()));
    EXPECT_FALSE(FileExists(first.InstalledPath(TEXT("drovanfirst.dll")))) << "its own file went";
    EXPECT_TRUE(FileExists(second.InstalledPath(TEXT("drovanshared.ini")))) << "the shared file stays";
    EXPECT_TRUE(FileExists(second.InstalledPath(TEXT("drovansecond.dll"))));
}

}  // namespace
}  // namespace spooler
