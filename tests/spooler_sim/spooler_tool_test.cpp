// drovan-machine's spooler verbs end to end: what they change is what the WINSPOOL calls
// of this process see, and what the calls change the verbs report.
#include <filesystem>

#include "platform/sim/text.h"
#include "spooler_sim_support.h"

using SpoolerTool = SpoolerMachine;

TEST_F(SpoolerTool, DriverPrinterJobAndDefaultVerbsShapeTheSpooler) {
    std::string dll = WritePackage("kelv.dll");
    std::string gpd = WritePackage("kelv.gpd");
    auto r = Tool("driver add 'KELV MR5A Printer' --file '" + dll + "' --file '" + gpd + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    r = Tool("printer add 'KELV MR5A Printer' --driver 'KELV MR5A Printer' --port COM2:");
    ASSERT_EQ(r.status, 0) << r.out;
    r = Tool("job add 'KELV MR5A Printer' report.txt");
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(Tool("default 'KELV MR5A Printer'").status, 0);

    // This process sees it all through WINSPOOL.
    EXPECT_EQ(LocalPrinterNames(), std::vector<std::u16string>{u"KELV MR5A Printer"});
    WCHAR name[64];
    DWORD cch = 64;
    ASSERT_TRUE(GetDefaultPrinterW(name, &cch)) << GetLastError();
    EXPECT_EQ(std::u16string(name), u"KELV MR5A Printer");
    HANDLE h = nullptr;
    WCHAR printer[] = u"KELV MR5A Printer";
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(printer, &h, &all));
    DWORD needed = 0;
    GetPrinterW(h, 2, nullptr, 0, &needed);
    std::vector<BYTE> record(needed);
    ASSERT_TRUE(GetPrinterW(h, 2, record.data(), needed, &needed));
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(record.data());
    EXPECT_EQ(info->cJobs, 1u) << "the job the tool queued";
    EXPECT_EQ(std::u16string(info->pPortName), u"COM2:");

    r = Tool("--json printers");
    EXPECT_NE(r.out.find("\"name\":\"KELV MR5A Printer\",\"connection\":false,\"driver\":\"KELV MR5A Printer\","
                         "\"port\":\"COM2:\",\"attributes\":64,\"status\":0,\"jobs\":1,\"default\":true"),
              std::string::npos)
        << r.out;
    r = Tool("--json jobs");
    EXPECT_NE(r.out.find("\"document\":\"report.txt\""), std::string::npos) << r.out;

    // The purge this process makes empties the queue the tool lists.
    ASSERT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(Tool("jobs").out, "no jobs\n");
    r = Tool("driver delete 'KELV MR5A Printer'");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("in use"), std::string::npos) << r.out;
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_EQ(Tool("default").out, "no default printer\n") << "deleting the default printer clears it";
    r = Tool("driver delete 'KELV MR5A Printer'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Tool("--json drivers").out, "[]\n");
    EXPECT_FALSE(std::filesystem::exists(m_folder / "drive_c/Windows/System32/spool/drivers/x64/3/kelv.gpd"))
        << "the driver's unused files went with it";
}

TEST_F(SpoolerTool, PortsByMonitorAndConnections) {
    ASSERT_EQ(Tool("port add USB001 --monitor usb").status, 0);
    ASSERT_EQ(Tool("port add IP_10.1.2.3 --monitor tcpip").status, 0);
    ASSERT_EQ(Tool("port add COM7:").status, 0);
    auto r = Tool("--json ports");
    EXPECT_NE(r.out.find("{\"name\":\"USB001\",\"monitor\":\"Dynamic Print Monitor\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"name\":\"IP_10.1.2.3\",\"monitor\":\"Standard TCP/IP Port\""), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"name\":\"COM7:\",\"monitor\":\"Local Monitor\",\"description\":\"Local Port\"}"),
              std::string::npos)
        << r.out;
    // A new local port is a value of the Ports key, with the serial defaults for COM.
    r = Tool("reg query 'HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports' COM7:");
    EXPECT_NE(r.out.find("9600,n,8,1"), std::string::npos) << r.out;

    AddDriverAndPrinter("On USB", "USB001");
    r = Tool("port delete USB001");
    EXPECT_EQ(r.status, 1) << "a printer uses it: " << r.out;
    ASSERT_EQ(Tool("printer add '\\\\office\\laser' --driver 'On USB'").status, 0);
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 1u);
    auto* c = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    EXPECT_EQ(std::u16string(c->pPrinterName), u"\\\\office\\laser");
    EXPECT_EQ(std::u16string(c->pServerName), u"\\\\office");
    EXPECT_TRUE(c->Attributes & PRINTER_ATTRIBUTE_NETWORK);
    EXPECT_EQ(LocalPrinterNames(), std::vector<std::u16string>{u"On USB"}) << "connections are not local";
    r = Tool("reg query 'HKCU\\Printers\\Connections'");
    EXPECT_NE(r.out.find(",,office,laser"), std::string::npos) << r.out;
}

TEST_F(SpoolerTool, BadInputIsNamedAndRefused) {
    struct Case {
        const char* args;
        int status;
        const char* says;
    };
    for (Case c : {Case{"printer add P --port LPT1:", 2, "needs --driver"},
                   Case{"printer add P --driver D", 2, "needs --port"},
                   Case{"printer add P --driver D --port LPT1:", 1, "no such printer driver"},
                   Case{"printer frob", 2, "printer takes add"},
                   Case{"printer delete Nobody", 1, "no such printer"},
                   Case{"driver add D --env 'Windows 95'", 2, "--env takes"},
                   Case{"driver add D --file /no/such/file.dll", 1, "not found"},
                   Case{"driver delete Nothing", 1, "no such printer driver"},
                   Case{"driver hold Nothing", 1, "no such printer driver"},
                   Case{"port add X: --monitor serial", 2, "--monitor takes"},
                   Case{"port add LPT1:", 1, "exists"},
                   Case{"port delete NOPE:", 1, "no such port"},
                   Case{"job add Nobody", 1, "no such printer"},
                   Case{"default Nobody", 1, "no such printer"},
                   Case{"service Spooler pause", 2, "status|stop|start"},
                   Case{"service NoSuch status", 1, "no service"},
                   Case{"printers extra", 2, "no arguments"}}) {
        auto r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
    }
}

TEST_F(SpoolerTool, ADriverOfAnotherEnvironmentGoesToItsOwnFolder) {
    std::string dll = WritePackage("x86.dll");
    ASSERT_EQ(Tool("driver add Old --env 'Windows NT x86' --file '" + dll + "'").status, 0);
    EXPECT_TRUE(std::filesystem::exists(m_folder / "drive_c/Windows/System32/spool/drivers/w32x86/3/x86.dll"));
    // The machine is 64-bit: its printers take drivers of its own environment only.
    auto r = Tool("printer add Old --driver Old --port LPT1:");
    EXPECT_EQ(r.status, 1) << r.out;
    Reinit({sim::Arch::X86, 1033});
    EXPECT_EQ(Tool("printer add Old --driver Old --port LPT1:").status, 0) << "on a 32-bit machine it fits";
    WCHAR dir[MAX_PATH];
    DWORD needed = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &needed));
    EXPECT_EQ(std::u16string(dir), u"C:\\Windows\\System32\\spool\\drivers\\w32x86");
}
