// Printers: two-call sizing with none and with some, how records are packed, local
// printers against connections, the life of a printer handle, access refusals and the
// errors of AddPrinterW.
#include <gtest/gtest.h>

#include <cstring>

#include "spooler_support.h"

namespace spooler {
namespace {

TEST(PrinterEnumeration, NoPrintersTheSizeCallSucceedsWithNothingNeeded) {
    Enumeration e = EnumPrintersTwice(PRINTER_ENUM_LOCAL, 2);
    if (e.needed != 0 && !e.sizeOk) GTEST_SKIP() << "this machine has printers already";
    EXPECT_TRUE(e.sizeOk) << "with no printer the size call succeeds (error " << e.sizeError << ")";
    EXPECT_TRUE(e.sizeError == kPoison || e.sizeError == ERROR_SUCCESS)
        << "a success sets no error, got " << e.sizeError;
    EXPECT_EQ(e.needed, 0u) << "nothing needed when there is nothing to return";
    EXPECT_TRUE(e.fillOk);
    EXPECT_EQ(e.returned, 0u);
}

TEST(PrinterEnumeration, SizeCallFailsWithInsufficientBufferThenRecordsFit) {
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "AddPrinterDriverExW: error " << driver.Error();
    TestPrinter a(TestName(" A"), driver.Name(), TEXT("LPT1:"));
    TestPrinter b(TestName(" B"), driver.Name(), TEXT("COM2:"));
    ASSERT_TRUE(a.Added() && b.Added()) << "AddPrinterW: errors " << a.Error() << ", " << b.Error();

    for (DWORD level : {1u, 2u}) {
        DWORD needed = kPoison, returned = kPoison;
        SetLastError(kPoison);
        BOOL ok = EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
        DWORD error = GetLastError();
        EXPECT_FALSE(ok) << "level " << level << ": the size call fails when there are printers";
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << "level " << level;
        EXPECT_GT(needed, 0u) << "level " << level;
        EXPECT_EQ(returned, 0u) << "level " << level << ": nothing returned by the size call";

        // One byte short is still too small.
        std::vector<BYTE> small(needed - 1);
        DWORD again = 0;
        SetLastError(kPoison);
        EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, level, small.data(), needed - 1, &again, &returned));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << "level " << level;
        EXPECT_EQ(again, needed) << "level " << level << ": the same size is asked for again";
    }

    Enumeration e = EnumPrintersTwice(PRINTER_ENUM_LOCAL, 2);
    ASSERT_TRUE(e.fillOk) << "error " << e.fillError;
    EXPECT_TRUE(e.fillError == kPoison || e.fillError == ERROR_SUCCESS) << "got " << e.fillError;
    EXPECT_GE(e.returned, 2u);
    auto names = PrinterNames(PRINTER_ENUM_LOCAL);
    EXPECT_TRUE(Contains(names, a.Name())) << Show(a.Name());
    EXPECT_TRUE(Contains(names, b.Name())) << Show(b.Name());
}

// Every string of a record lies inside the one buffer, behind the array of structures.
void ExpectPacked(const std::vector<BYTE>& buffer, DWORD count, size_t recordSize,
                  const std::vector<const WCHAR*>& strings) {
    const BYTE* begin = buffer.data() + count * recordSize;
    const BYTE* end = buffer.data() + buffer.size();
    for (const WCHAR* s : strings) {
        if (!s) continue;
        const BYTE* at = reinterpret_cast<const BYTE*>(s);
        EXPECT_GE(at, begin) << "a string lies behind the structures: " << Show(s);
        EXPECT_LT(at, end) << "a string lies inside the buffer";
        size_t length = 0;
        while (at + (length + 1) * sizeof(WCHAR) <= end && s[length]) ++length;
        EXPECT_LE(at + (length + 1) * sizeof(WCHAR), end) << "the terminator is inside the buffer too";
    }
}

TEST(PrinterEnumeration, RecordsArePackedStructuresFirstStringsBehind) {
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "error " << driver.Error();
    TestPrinter a(TestName(" A"), driver.Name(), TEXT("LPT1:"));
    TestPrinter b(TestName(" B"), driver.Name(), TEXT("LPT2:"));
    ASSERT_TRUE(a.Added() && b.Added());

    Enumeration e = EnumPrintersTwice(PRINTER_ENUM_LOCAL, 2);
    ASSERT_TRUE(e.fillOk) << "error " << e.fillError;
    const auto* r = reinterpret_cast<const PRINTER_INFO_2W*>(e.buffer.data());
    for (DWORD i = 0; i < e.returned; ++i) {
        ExpectPacked(e.buffer, e.returned, sizeof(PRINTER_INFO_2W),
                     {r[i].pServerName, r[i].pPrinterName, r[i].pShareName, r[i].pPortName,
                      r[i].pDriverName, r[i].pComment, r[i].pLocation, r[i].pSepFile,
                      r[i].pPrintProcessor, r[i].pDatatype, r[i].pParameters});
        if (WideText(r[i].pPrinterName) == a.Name()) {
            EXPECT_EQ(WideText(r[i].pDriverName), driver.Name());
            EXPECT_EQ(WideText(r[i].pPortName), WideText(TEXT("LPT1:")));
            EXPECT_TRUE(r[i].Attributes & PRINTER_ATTRIBUTE_LOCAL) << "attributes " << r[i].Attributes;
        }
    }

    Enumeration one = EnumPrintersTwice(PRINTER_ENUM_LOCAL, 1);
    ASSERT_TRUE(one.fillOk) << "error " << one.fillError;
    const auto* r1 = reinterpret_cast<const PRINTER_INFO_1W*>(one.buffer.data());
    for (DWORD i = 0; i < one.returned; ++i)
        ExpectPacked(one.buffer, one.returned, sizeof(PRINTER_INFO_1W),
                     {r1[i].pDescription, r1[i].pName, r1[i].pComment});
}

TEST(PrinterEnumeration, LocalPrintersAreNotConnections) {
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "error " << driver.Error();
    TestPrinter local(TestName(), driver.Name(), TEXT("LPT1:"));
    ASSERT_TRUE(local.Added()) << "error " << local.Error();
    EXPECT_TRUE(Contains(PrinterNames(PRINTER_ENUM_LOCAL), local.Name()));
    EXPECT_FALSE(Contains(PrinterNames(PRINTER_ENUM_CONNECTIONS), local.Name()))
        << "a local printer is no connection to another machine";
    EXPECT_TRUE(Contains(PrinterNames(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS), local.Name()));
}

TEST(PrinterHandle, OpenGetPurgeDeleteClose) {
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "error " << driver.Error();
    TestPrinter printer(TestName(), driver.Name(), TEXT("LPT1:"));
    ASSERT_TRUE(printer.Added()) << "error " << printer.Error();

    Arg name(printer.Name());
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    SetLastError(kPoison);
    ASSERT_TRUE(OpenPrinterW(name, &h, &defaults)) << "error " << GetLastError();
    ASSERT_NE(h, nullptr);

    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed)) << "the size call fails";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, sizeof(PRINTER_INFO_2W));
    std::vector<BYTE> record(needed);
    SetLastError(kPoison);
    ASSERT_TRUE(GetPrinterW(h, 2, record.data(), needed, &needed)) << "error " << GetLastError();
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(record.data());
    EXPECT_EQ(WideText(info->pPrinterName), printer.Name());
    EXPECT_EQ(WideText(info->pDriverName), driver.Name());
    ExpectPacked(record, 1, sizeof(PRINTER_INFO_2W), {info->pPrinterName, info->pDriverName, info->pPortName});

    // The purge is given the start of the record, as the removal code passes it.
    BYTE head[20];
    std::memcpy(head, record.data(), sizeof head);
    SetLastError(kPoison);
    EXPECT_TRUE(SetPrinterW(h, 0, head, PRINTER_CONTROL_PURGE)) << "error " << GetLastError();
    SetLastError(kPoison);
    EXPECT_TRUE(DeletePrinter(h)) << "error " << GetLastError();
    SetLastError(kPoison);
    EXPECT_TRUE(ClosePrinter(h)) << "error " << GetLastError();

    HANDLE again = nullptr;
    SetLastError(kPoison);
    EXPECT_FALSE(OpenPrinterW(name, &again, &defaults)) << "the printer is gone";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    EXPECT_FALSE(Contains(PrinterNames(PRINTER_ENUM_LOCAL), printer.Name()));
}

TEST(PrinterHandle, UnknownNameAndBadHandle) {
    Arg name(TestName(" which does not exist"));
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1234));
    SetLastError(kPoison);
    EXPECT_FALSE(OpenPrinterW(name, &h, &defaults));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME))
        << "an unknown printer is ERROR_INVALID_PRINTER_NAME";
    EXPECT_EQ(h, nullptr) << "no handle comes back";
}

TEST(PrinterHandle, UseAccessCannotDeleteOrPurge) {
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "error " << driver.Error();
    TestPrinter printer(TestName(), driver.Name(), TEXT("LPT1:"));
    ASSERT_TRUE(printer.Added()) << "error " << printer.Error();

    Arg name(printer.Name());
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(name, &h, &defaults)) << "error " << GetLastError();
    SetLastError(kPoison);
    EXPECT_FALSE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE)) << "purging needs administer access";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinter(h)) << "deleting needs delete access";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(ClosePrinter(h));
    EXPECT_TRUE(Contains(PrinterNames(PRINTER_ENUM_LOCAL), printer.Name())) << "the printer stays";
}

TEST(PrinterCreation, ExistingNameUnknownPortAndUnknownDriverAreRefused) {
    TestDriver driver(TestName(" driver"));
    ASSERT_TRUE(driver.Installed()) << "error " << driver.Error();
    TestPrinter first(TestName(), driver.Name(), TEXT("LPT1:"));
    ASSERT_TRUE(first.Added()) << "error " << first.Error();

    struct Case {
        WideText name, driver, port;
        DWORD error;
        const char* what;
    };
    const Case cases[] = {
        {first.Name(), driver.Name(), TEXT("LPT2:"), ERROR_PRINTER_ALREADY_EXISTS, "ERROR_PRINTER_ALREADY_EXISTS"},
        {TestName(" 2"), driver.Name(), TEXT("DROVANNOPORT:"), ERROR_UNKNOWN_PORT, "ERROR_UNKNOWN_PORT"},
        {TestName(" 3"), TestName(" no such driver"), TEXT("LPT1:"), ERROR_UNKNOWN_PRINTER_DRIVER,
         "ERROR_UNKNOWN_PRINTER_DRIVER"},
    };
    for (const Case& c : cases) {
        Arg nameArg(c.name), driverArg(c.driver), portArg(c.port), processor(TEXT("winprint"));
        PRINTER_INFO_2W info{};
        info.pPrinterName = nameArg;
        info.pDriverName = driverArg;
        info.pPortName = portArg;
        info.pPrintProcessor = processor;
        SetLastError(kPoison);
        HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        DWORD error = GetLastError();
        EXPECT_EQ(h, nullptr) << "expected " << c.what;
        EXPECT_EQ(error, c.error) << "expected " << c.what;
        if (h) ClosePrinter(h);
    }
    EXPECT_FALSE(Contains(PrinterNames(PRINTER_ENUM_LOCAL), TestName(" 2"))) << "nothing half-made";
}

}  // namespace
}  // namespace spooler
