// Installations that succeed: the printer, its driver and files on the machine, the
// default printer, the serial settings written before the installation, the command the
// print UI gets and the log lines of an installation in their order.
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

#include "wizard_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string AppDir() {
    std::string p = "Z:" + std::string(DROVAN_BIN_DIR) + "/";
    for (char& ch : p)
        if (ch == '/') ch = '\\';
    return p;
}

// Replaces every occurrence of an ASCII text in a file, in ANSI and in UTF-16LE form (INF
// files come in both).
void ReplaceInFile(const fs::path& file, const std::string& from, const std::string& to) {
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    auto wide = [](const std::string& ascii) {
        std::string out;
        for (char c : ascii) out += std::string{c, '\0'};
        return out;
    };
    for (const auto& [a, b] : {std::pair{from, to}, std::pair{wide(from), wide(to)}}) {
        for (size_t at = bytes.find(a); at != std::string::npos; at = bytes.find(a, at + b.size()))
            bytes.replace(at, a.size(), b);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The one printer of that name, or a null value.
Json FindPrinter(const Json& printers, const std::string& name) {
    for (const auto& p : printers.Items())
        if (p["name"].AsString() == name) return p;
    return Json();
}

struct ArchCase {
    const char* arch;
    const char* environment;
    const char* driverDir;  // below C:\Windows\System32\spool\drivers
    const char* driverFile;
};

void PrintTo(const ArchCase& c, std::ostream* os) { *os << c.arch; }

class InstallOn : public WizardTest, public ::testing::WithParamInterface<ArchCase> {};

}  // namespace

TEST_P(InstallOn, QB410OnCom1WithItsDriverFilesAndDefault) {
    const ArchCase& c = GetParam();
    InitMachine(1033, c.arch);
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"COM1:\"\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].text, "Printer driver installation success!");
    // The wizard ends, then the closing dialog opens.
    ASSERT_TRUE(t.Has("end 102 2"));
    EXPECT_GT(t.Find("open 152"), t.Find("end 102 2"));

    Json printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0]["name"].AsString(), "QB410 Printer");
    EXPECT_EQ(printers[0]["port"].AsString(), "COM1:");
    EXPECT_EQ(printers[0]["driver"].AsString(), "QB410 Printer");
    EXPECT_EQ(DefaultPrinter(), "QB410 Printer");

    Json drivers = Drivers();
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_EQ(drivers[0]["name"].AsString(), "QB410 Printer");
    EXPECT_EQ(drivers[0]["environment"].AsString(), c.environment);
    const std::string dir = std::string("C:\\Windows\\System32\\spool\\drivers\\") + c.driverDir + "\\3\\";
    bool hasDriverFile = false;
    for (const auto& f : drivers[0]["files"].Items()) {
        EXPECT_EQ(f.AsString().rfind(dir, 0), 0u) << f.AsString();
        hasDriverFile |= f.AsString() == dir + c.driverFile;
    }
    EXPECT_TRUE(hasDriverFile);
    EXPECT_TRUE(fs::is_regular_file(DriveC() / "Windows/System32/spool/drivers" / c.driverDir / "3" / c.driverFile));
    // The serial settings of COM1: were written with the default selections.
    EXPECT_EQ(PortsValue("COM1:"), std::optional<std::string>("9600,n,8,1,p"));
}

INSTANTIATE_TEST_SUITE_P(Architectures, InstallOn,
                         ::testing::Values(ArchCase{"x64", "Windows x64", "x64", "UNIDRV.DLL"},
                                           ArchCase{"x86", "Windows NT x86", "w32x86", "UNIDRV.DLL"},
                                           ArchCase{"arm64", "Windows ARM64", "arm64", "UNIDRV.DLL"}),
                         [](const auto& p) { return std::string(p.param.arch); });

TEST_F(WizardTest, DefaultPrinterUnchangedWhenTheBoxIsCleared) {
    AddDriver("Generic Text");
    MachineOk({"printer", "add", "Office", "--driver", "Generic Text", "--port", "LPT2:"});
    MachineOk({"default", "Office"});
    Transcript t = Replay("click 1001\nclick 3\nclick 1004\nclick 3\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].icon, "information");
    EXPECT_EQ(DefaultPrinter(), "Office");
    Json p = FindPrinter(Printers(), "QB410 Printer");
    ASSERT_FALSE(p.IsNull());
    EXPECT_EQ(p["port"].AsString(), "LPT1:");

    // Checked (as it is again on entering the model page), the new printer becomes the default.
    InitMachine(1033);
    AddDriver("Generic Text");
    MachineOk({"printer", "add", "Office", "--driver", "Generic Text", "--port", "LPT2:"});
    MachineOk({"default", "Office"});
    t = Replay("click 1001\nclick 3\nclick 1004\nclick 1003\nclick 3\nclick 3\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(DefaultPrinter(), "QB410 Printer");
}

TEST_F(WizardTest, SecondModelOnChineseX86Machine) {
    InitMachine(2052, "x86");
    Transcript t = ReplayWithLog("click 1001\nclick 3\nclick 1031\nclick 3\nselect 1008 \"FILE:\"\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].text, "恭喜，打印机驱动安装成功！");
    Json p = FindPrinter(Printers(), "QD530 Printer");
    ASSERT_FALSE(p.IsNull());
    EXPECT_EQ(p["port"].AsString(), "FILE:");
    EXPECT_GE(t.FindLog("kwl at PrinterInfo SetInfFilePath() m_szInfPath=" + AppDir() + "MR3A.inf"), 0);
}

TEST_F(WizardTest, SerialSettingsOfTheChosenComPortBeforeInstalling) {
    Transcript t = ReplayWithLog(std::string(kToPortPage) + "select 1008 \"COM3:\"\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(PortsValue("COM3:"), std::optional<std::string>("9600,n,8,1,p"));
    EXPECT_EQ(PortsValue("COM2:"), std::optional<std::string>("9600,n,8,1"));
    ASSERT_FALSE(FindPrinter(Printers(), "QB410 Printer").IsNull());

    // Other selections give their own values.
    InitMachine(1033);
    t = Replay(std::string(kToPortPage) +
               "select 1008 \"COM2:\"\nselect 1009 \"115200\"\nselect 1010 \"EVEN\"\nselect 1011 \"7\"\n"
               "select 1012 \"2\"\nselect 1020 \"Xon/Xoff\"\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(PortsValue("COM2:"), std::optional<std::string>("115200,e,7,2,x"));
}

// The settings are stored under the value named after the port itself: the whole number
// of a COMn: name, and nothing for a name of another form (KLCOM1: would read as port 0).
TEST_F(WizardTest, SerialSettingsGoUnderThePortsOwnNameOrNowhere) {
    auto portsValues = [this] {
        Json ports = MachineJson({"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"});
        std::map<std::string, std::string> values;
        for (const auto& v : ports["values"].Items()) values[v["name"].AsString()] = v["data"].AsString();
        return values;
    };
    struct Case {
        const char* port;
        const char* written;  // the value under the port's name afterwards, or none
    };
    for (Case c : {Case{"COM123:", "9600,n,8,1,p"}, Case{"KLCOM1:", nullptr}, Case{"COM12:", "9600,n,8,1,p"}}) {
        InitMachine(1033);
        MachineOk({"port", "add", "COM12:"});
        if (std::string(c.port) != "COM12:") MachineOk({"port", "add", c.port});
        std::map<std::string, std::string> expected = portsValues();
        if (c.written) expected[c.port] = c.written;
        Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"" + c.port + "\"\ndump\nclick 3\n" + kSuccessEnd);
        ASSERT_EQ(t.exitCode, 0) << t.errors;
        ASSERT_EQ(t.dumps.size(), 1u);
        for (int id : {1009, 1010, 1011, 1012, 1020}) EXPECT_TRUE(t.dumps[0][id].enabled) << c.port << " " << id;
        EXPECT_EQ(portsValues(), expected) << c.port;
        Json p = FindPrinter(Printers(), "QB410 Printer");
        ASSERT_FALSE(p.IsNull()) << c.port;
        EXPECT_EQ(p["port"].AsString(), c.port);
    }
}

TEST_F(WizardTest, UsbPortWithoutAttachedPrinterInstallsOnTheSelectedPort) {
    MachineOk({"port", "add", "USB001", "--monitor", "usb"});
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"USB001\"\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    Json p = FindPrinter(Printers(), "QB410 Printer");
    ASSERT_FALSE(p.IsNull());
    EXPECT_EQ(p["port"].AsString(), "USB001");
}

TEST_F(WizardTest, InstallationLogLinesInOrderAndTheCommandLine) {
    Transcript t = ReplayWithLog(std::string(kToPortPage) + "select 1008 \"COM1:\"\nclick 3\n" + std::string(kSuccessEnd));
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    const std::string inf = AppDir() + "MR2A_x64.inf";
    const std::string cmd =
        "PRINTUI.DLL,PrintUIEntry /if /n \"QB410 Printer\" /f \"" + inf + "\" /r \"COM1:\" /m \"QB410 Printer\" ";
    const std::vector<std::string> expected = {
        "kwl at PrinterInfo SetPrinterName() m_szPrinterName=QB410 Printer",
        "kwl at PrinterInfo SetInfFilePath() m_szInfPath=" + inf,
        "kwl at PrinterInfo SetInfFilePath() m_szPortName=COM1:",
        "kwl at PrinterInfo NormalInstaller() cmd=" + cmd,
        "kwl at PrinterInfo ExecutePrint() lpParameters=" + cmd,
        "kwl at PrinterInfo ExecutePrint() ShellExecuteEx(&ShExeInfo) true",
        "kwl at PrinterInfo ExecutePrint() WaitForSingleObject()",
        "kwl at PrinterInfo DeletePrintJob() IsDriverInstall() pszDriverName=QB410 Printer,bInstall=1",
        "kwl at PrinterInfo NormalInstaller() IsDriverInstall(m_szPrinterName) true",
    };
    // After the three start lines come exactly the installation's lines.
    ASSERT_GE(t.logs.size(), 3u);
    std::vector<std::string> install(t.logs.begin() + 3, t.logs.end());
    EXPECT_EQ(install, expected);
    // The command ends with exactly one space after the last quote.
    ASSERT_GE(t.FindLog("cmd="), 0);
    const std::string& line = t.logs[t.FindLog("cmd=")];
    EXPECT_EQ(line.substr(line.size() - 2), "\" ");
    // The outcome comes after the last line of the worker.
    int lastLog = t.Find("log \"kwl at PrinterInfo NormalInstaller() IsDriverInstall(m_szPrinterName) true\"");
    EXPECT_GT(t.Find("msgbox"), lastLog);
}

TEST_F(WizardTest, DriverNamedInAnotherLetterCaseIsTheRequestedOne) {
    // A package that spells the model in capitals: the print UI finds the model the wizard
    // asks for without regard to case and names the driver as the package does. The
    // spooler's names are not case-sensitive, nor is the check that follows.
    ReplayOptions o;
    o.programDir = MakeProgramDir();
    ReplaceInFile(o.programDir / "MR2A_x64.inf", "QB410 Printer", "QB410 PRINTER");
    o.log = true;
    Transcript t = Replay(std::string(kToPortPage) + "click 3\n" + std::string(kSuccessEnd), o);
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].text, "Printer driver installation success!");
    Json p = FindPrinter(Printers(), "QB410 Printer");
    ASSERT_FALSE(p.IsNull());
    EXPECT_EQ(p["driver"].AsString(), "QB410 PRINTER");
    EXPECT_EQ(p["port"].AsString(), "LPT1:");
    EXPECT_GE(t.FindLog("NormalInstaller() IsDriverInstall(m_szPrinterName) true"), 0);
}

class CatalogueByArch : public WizardTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CatalogueByArch, InfFileOfTheModelForTheArchitecture) {
    const std::string arch = GetParam();
    const bool wide = arch == "x64" || arch == "ia64";
    // Our packages offer models for x86, x64 and ARM64 Windows (the 32-bit INF), not Itanium.
    const bool offered = arch != "ia64";
    for (const auto& [option, base, name] :
         {std::tuple<const char*, const char*, const char*>{"", "MR2A", "QB410 Printer"},
          std::tuple<const char*, const char*, const char*>{"click 1031\n", "MR3A", "QD530 Printer"}}) {
        InitMachine(1033, arch);
        Transcript t = ReplayWithLog(std::string("click 1001\nclick 3\n") + option +
                                     "click 3\nselect 1008 \"FILE:\"\nclick 3\n" + (offered ? kSuccessEnd : "wait-close 30000\n"));
        ASSERT_EQ(t.exitCode, 0) << t.errors;
        const std::string inf = AppDir() + base + (wide ? "_x64.inf" : ".inf");
        EXPECT_GE(t.FindLog("kwl at PrinterInfo SetInfFilePath() m_szInfPath=" + inf), 0) << arch << " " << base;
        EXPECT_GE(t.FindLog(std::string("/n \"") + name + "\" /f \"" + inf + "\""), 0) << arch << " " << base;
        // On Itanium (the x64 INF) the print UI refuses the model, and nothing is made.
        ASSERT_EQ(t.msgboxes.size(), 1u);
        EXPECT_EQ(t.msgboxes[0].icon, offered ? "information" : "error") << arch;
        EXPECT_EQ(Printers().size(), offered ? 1u : 0u) << arch;
        if (!offered) {
            EXPECT_EQ(Drivers().size(), 0u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Architectures, CatalogueByArch, ::testing::Values("x86", "x64", "ia64", "arm64"));

TEST_F(WizardTest, PlantedRundll32InTheCurrentDirectoryNeverRuns) {
    ReplayOptions o;
    o.cwd = MakeWorkDir(true);
    const fs::path planted = o.cwd / "rundll32.exe";
    {
        std::ofstream s(planted);
        s << "#!/bin/sh\ntouch \"$(dirname \"$0\")/planted-rundll32-ran\"\nexit 0\n";
    }
    fs::permissions(planted, fs::perms::owner_all);
    Transcript t = Replay(std::string(kToPortPage) + "click 3\n" + std::string(kSuccessEnd), o);
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_FALSE(fs::exists(o.cwd / "planted-rundll32-ran"));
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].icon, "information");
    EXPECT_FALSE(FindPrinter(Printers(), "QB410 Printer").IsNull()) << "the system's print UI ran";
}
