// The spooler as one machine: injected faults, a second process's view of a printer made
// here, a Simplified Chinese machine's monitor names, and a printer deleted while its
// queue still holds jobs.
#include <cstring>

#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "spooler_sim_support.h"

using SpoolerMachineTest = SpoolerMachine;

TEST_F(SpoolerMachineTest, InjectedFaultsFailTheNamedCallOnce) {
    AddDriverAndPrinter("F");
    sim::SetFault(sim::CurrentMachine().Db(), {"EnumPrintersW", ERROR_NOT_ENOUGH_MEMORY, 1});
    DWORD needed = 0, returned = 0;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(LocalPrinterNames(), std::vector<std::u16string>{u"F"}) << "the fault was used up";

    // The purge refused, as the removal code must survive it; the printer stays.
    ASSERT_EQ(Tool("fault set SetPrinterW 1906 --once").status, 0);
    WCHAR name[] = u"F";
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(name, &h, &all));
    SetLastError(kPoison);
    EXPECT_FALSE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_STATE));
    ClosePrinter(h);

    for (const char* op : {"OpenSCManagerW", "DeletePrinterDriverExW", "SetDefaultPrinterW"})
        sim::SetFault(sim::CurrentMachine().Db(), {op, ERROR_ACCESS_DENIED, sim::kAlways});
    SetLastError(kPoison);
    EXPECT_EQ(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "the fault comes before the in-use check";
    SetLastError(kPoison);
    EXPECT_FALSE(SetDefaultPrinterW(u"F"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Tool("default").out, "no default printer\n");
}

TEST_F(SpoolerMachineTest, ASecondProcessSeesThePrinterThisOneAdded) {
    ASSERT_EQ(Tool("driver add Shared --file '" + WritePackage("s.dll") + "'").status, 0);
    WCHAR printer[] = u"Made Here", driver[] = u"Shared", port[] = u"FILE:";
    PRINTER_INFO_2W info{};
    info.pPrinterName = printer;
    info.pDriverName = driver;
    info.pPortName = port;
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    ASSERT_NE(h, nullptr) << GetLastError();
    ClosePrinter(h);
    auto r = Tool("printers");
    EXPECT_EQ(r.out, "  Made Here  driver Shared  port FILE:  ready, 0 jobs\n");
    // And the other way round: what the other process deletes is gone here.
    ASSERT_EQ(Tool("printer delete 'Made Here'").status, 0);
    EXPECT_TRUE(LocalPrinterNames().empty());
}

TEST_F(SpoolerMachineTest, ChineseMachineNamesTheLocalMonitorInItsLanguage) {
    Reinit({sim::Arch::X64, 2052});
    ASSERT_EQ(Tool("port add USB001 --monitor usb").status, 0);
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPortsW(nullptr, 2, nullptr, 0, &needed, &returned));
    std::vector<BYTE> wide(needed), ansi(needed);
    ASSERT_TRUE(EnumPortsW(nullptr, 2, wide.data(), needed, &needed, &returned));
    auto* w = reinterpret_cast<PORT_INFO_2W*>(wide.data());
    EXPECT_EQ(std::u16string(w[0].pMonitorName), u"本地监视器");
    EXPECT_EQ(std::u16string(w[0].pDescription), u"本地端口");
    DWORD neededA = 0;
    ASSERT_TRUE(EnumPortsA(nullptr, 2, ansi.data(), needed, &neededA, &returned));
    auto* a = reinterpret_cast<PORT_INFO_2A*>(ansi.data());
    EXPECT_EQ(std::strcmp(a[0].pMonitorName, "\xB1\xBE\xB5\xD8\xBC\xE0\xCA\xD3\xC6\xF7"), 0)
        << "the GBK bytes of the monitor's name";
    EXPECT_EQ(std::string(a[returned - 1].pPortName), "USB001");
    EXPECT_EQ(std::string(a[returned - 1].pMonitorName), "Dynamic Print Monitor") << "in every language";
}

TEST_F(SpoolerMachineTest, APrinterWithJobsIsDeletedWhenItsQueueIsPurged) {
    AddDriverAndPrinter("Busy");
    ASSERT_EQ(Tool("job add Busy one").status, 0);
    WCHAR name[] = u"Busy";
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(name, &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    DWORD needed = 0;
    GetPrinterW(h, 2, nullptr, 0, &needed);
    std::vector<BYTE> record(needed);
    ASSERT_TRUE(GetPrinterW(h, 2, record.data(), needed, &needed));
    EXPECT_TRUE(reinterpret_cast<PRINTER_INFO_2W*>(record.data())->Status & PRINTER_STATUS_PENDING_DELETION)
        << "kept until its job is gone";
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));
    ASSERT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_TRUE(LocalPrinterNames().empty()) << "the purge took the last job and the printer with it";
    ClosePrinter(h);
    EXPECT_TRUE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3)) << GetLastError();
}
