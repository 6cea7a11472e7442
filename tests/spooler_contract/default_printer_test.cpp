// The default printer, set through WINSPOOL.DRV's export 204 as the wizard sets it, and
// read back with GetDefaultPrinterW's two-call sizing.
#include <gtest/gtest.h>

#include "spooler_support.h"

namespace spooler {
namespace {

typedef BOOL(WINAPI* SetDefaultPrinterProc)(LPCWSTR);

WideText CurrentDefault(DWORD* error) {
    DWORD cch = 0;
    SetLastError(kPoison);
    if (GetDefaultPrinterW(nullptr, &cch)) return WideText();
    *error = GetLastError();
    if (*error != ERROR_INSUFFICIENT_BUFFER) return WideText();
    std::vector<WCHAR> name(cch);
    SetLastError(kPoison);
    if (!GetDefaultPrinterW(name.data(), &cch)) {
        *error = GetLastError();
        return WideText();
    }
    *error = ERROR_SUCCESS;
    return WideText(name.data());
}

TEST(DefaultPrinter, RoundTripThroughOrdinal204) {
    DWORD error = 0;
    WideText before = CurrentDefault(&error);
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "error " << driver.Error();
    TestPrinter printer(TestName(), driver.Name(), TEXT("LPT1:"));
    ASSERT_TRUE(printer.Added()) << "error " << printer.Error();

    HMODULE winspool = LoadLibraryW(TEXT("winspool.drv"));
    ASSERT_NE(winspool, nullptr) << "error " << GetLastError();
    auto setDefault = reinterpret_cast<SetDefaultPrinterProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(winspool, MAKEINTRESOURCEA(204))));
    ASSERT_NE(setDefault, nullptr) << "export 204 exists: error " << GetLastError();
    EXPECT_EQ(reinterpret_cast<void (*)()>(setDefault),
              reinterpret_cast<void (*)()>(GetProcAddress(winspool, "SetDefaultPrinterW")))
        << "export 204 is SetDefaultPrinterW";

    SetLastError(kPoison);
    EXPECT_TRUE(setDefault(printer.Name().c_str())) << "error " << GetLastError();
    WideText now = CurrentDefault(&error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(now, printer.Name()) << "got " << Show(now);

    DWORD cch = 1;
    WCHAR tiny[1];
    SetLastError(kPoison);
    EXPECT_FALSE(GetDefaultPrinterW(tiny, &cch));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(cch, printer.Name().size() + 1) << "the size in characters, terminator included";

    WideText missing = TestName(" which does not exist");
    SetLastError(kPoison);
    EXPECT_FALSE(setDefault(missing.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(CurrentDefault(&error), printer.Name()) << "a refused change keeps the default";

    if (!before.empty()) setDefault(before.c_str());
    FreeLibrary(winspool);
}

}  // namespace
}  // namespace spooler
