// Every switch and every exit code of the command line, on the real program: what it
// installs (or refuses, and why), what it writes to its standard streams and its log, and
// the machine afterwards.
#include <fstream>
#include <functional>

#include "cli_fixture.h"

namespace fs = std::filesystem;

namespace {

using Commands = std::vector<std::vector<std::string>>;  // drovan-machine commands, in order

const std::vector<std::string> kUsbPrinter3 = {"usb", "attach", "vid_0483&pid_5720", "A1B2C3", "--port", "3"};
const std::vector<std::string> kUsbPrinter12 = {"usb", "attach", "VID_0483&PID_5720", "Z9", "--port", "12"};
const std::vector<std::string> kOfficeDefault = {"default", "Office"};

Json FindPrinter(const Json& printers, const std::string& name) {
    for (const auto& p : printers.Items())
        if (p["name"].AsString() == name) return p;
    return Json();
}

// What "nothing was changed" is about: the machine without the wizard's language marker,
// which every start of the wizard writes (a dry run's excepted), and without the test's
// faults, which count down as they are met.
std::string SnapshotWithoutMarker(const fs::path& machine) {
    std::string kept;
    bool faults = false;
    for (const auto& line : Lines(MachineSnapshot(machine))) {
        if (line.rfind("table ", 0) == 0) faults = line == "table faults";
        else if (faults) continue;
        if (line.rfind("drive_c/Temp", 0) != 0) kept += line + "\n";
    }
    return kept;
}

struct InstallCase {
    const char* name;
    int lang;
    const char* arch;
    Commands setup;  // after an "Office" printer (default) on LPT3: is added
    std::vector<std::string> args;
    const char* printer;
    const char* port;
    const char* environment;       // of the installed driver
    const char* portsValueName;    // the serial settings written, if any
    const char* portsValue;
    bool becomesDefault;
};

void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }

class Installs : public CliTest, public ::testing::WithParamInterface<InstallCase> {};

}  // namespace

TEST_P(Installs, AsTheSwitchesSay) {
    const InstallCase& c = GetParam();
    InitMachine(c.lang, c.arch);
    AddDriver("Generic Text");
    AddPrinter("Office", "Generic Text", "LPT3:");
    MachineOk(kOfficeDefault);
    for (const auto& command : c.setup) MachineOk(command);

    ProgramRun run = Drovan(c.args);
    ASSERT_EQ(run.status, 0) << run.Both();
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find(c.port), std::string::npos) << run.out;

    Json printer = FindPrinter(Printers(), c.printer);
    ASSERT_FALSE(printer.IsNull()) << c.printer;
    EXPECT_EQ(printer["port"].AsString(), c.port);
    EXPECT_EQ(printer["driver"].AsString(), c.printer);
    Json drivers = Drivers();
    bool found = false;
    for (const auto& d : drivers.Items())
        found |= d["name"].AsString() == c.printer && d["environment"].AsString() == c.environment;
    EXPECT_TRUE(found) << "driver " << c.printer << " for " << c.environment;
    if (c.portsValueName) {
        EXPECT_EQ(PortsValue(c.portsValueName), std::optional<std::string>(c.portsValue));
    }
    EXPECT_EQ(DefaultPrinter(), c.becomesDefault ? c.printer : "Office");
    for (const char* com : {"COM1:", "COM2:", "COM3:", "COM4:"}) {
        if (!c.portsValueName || std::string(com) != c.portsValueName) {
            EXPECT_EQ(PortsValue(com), std::optional<std::string>("9600,n,8,1")) << com << " untouched";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Installs,
    ::testing::Values(
        InstallCase{"LabelComPortAndSerialSettings", 1033, "x64", {},
                    {"/quiet", "/model:QB410", "/port:COM1:", "/serial:115200,e,7,1.5,x"},
                    "QB410 Printer", "COM1:", "Windows x64", "COM1:", "115200,e,7,1.5,x", false},
        InstallCase{"PrinterNameInAnyCaseAndNoFlowControl", 1033, "x64", {},
                    {"/QUIET", "/Model:qd530 printer", "/port:com3:", "/serial:9600,N,8,2,"},
                    "QD530 Printer", "COM3:", "Windows x64", "COM3:", "9600,n,8,2,", false},
        InstallCase{"ModelTheWizardDoesNotShowOnChineseX86", 2052, "x86", {},
                    {"/quiet", "/model:KELV MR5A", "/port:LPT2:", "/default"},
                    "KELV MR5A Printer", "LPT2:", "Windows NT x86", nullptr, nullptr, true},
        InstallCase{"FourthModelWithThePortPagesSerialDefaults", 1028, "arm64", {},
                    {"/quiet", "/model:kelv mr6a", "/port:COM2:"},
                    "KELV MR6A Printer", "COM2:", "Windows ARM64", "COM2:", "9600,n,8,1,p", false},
        InstallCase{"AttachedUsbPrinterWithoutPort", 1033, "x64", {kUsbPrinter3},
                    {"/quiet", "/model:QB410", "/default"},
                    "QB410 Printer", "USB003", "Windows x64", nullptr, nullptr, true},
        InstallCase{"UsbSwitch", 1033, "x64", {kUsbPrinter12},
                    {"/quiet", "/model:QD530", "/port:usb"},
                    "QD530 Printer", "USB012", "Windows x64", nullptr, nullptr, false},
        InstallCase{"DashesAndEqualsSigns", 1033, "x64", {},
                    {"-quiet", "-model=QB410 Printer", "-port=FILE:", "-default"},
                    "QB410 Printer", "FILE:", "Windows x64", nullptr, nullptr, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliTest, ReplaceDeletesTheModelsPrintersAndDriverFirst) {
    AddDriver("QB410 Printer");
    AddPrinter("QB410 Printer", "QB410 Printer", "LPT1:");
    AddPrinter("QB410 Printer (Copy 1)", "QB410 Printer", "LPT2:");
    MachineOk({"job", "add", "QB410 Printer", "receipt"});
    ProgramRun run = Drovan({"/quiet", "/model:QB410", "/port:COM4:", "/replace", "/log:" + File("replace.log").string()});
    ASSERT_EQ(run.status, 0) << run.Both();
    Json printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0]["port"].AsString(), "COM4:");
    std::string log = ReadText(File("replace.log"));
    // The installed-driver dialog's Delete ran, both printers went, then the installation.
    size_t deleted = log.find("DeleteDriver() pszPrinter=QB410 Printer (Copy 1)");
    size_t installed = log.find("NormalInstaller() cmd=");
    EXPECT_NE(deleted, std::string::npos);
    EXPECT_LT(deleted, installed);
}

namespace {

struct RefusalCase {
    const char* name;
    Commands setup;
    std::vector<std::string> args;
    int code;
    const char* message;  // in standard error
    enum Where { Bin, NoLicences, NoPackage } where = Bin;
    bool unchanged = true;  // the machine as before (but the wizard's language marker)
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class Refuses : public CliTest, public ::testing::WithParamInterface<RefusalCase> {};

const std::vector<std::string> kModelDriver = {"driver", "add", "QB410 Printer"};
const std::vector<std::string> kModelPrinter = {"printer", "add", "QB410 Printer", "--driver", "QB410 Printer",
                                                "--port", "LPT1:"};

}  // namespace

TEST_P(Refuses, WithItsExitCodeAndWhy) {
    const RefusalCase& c = GetParam();
    for (const auto& command : c.setup) MachineOk(command);
    ProgramOptions o;
    if (c.where == RefusalCase::NoLicences) o.cwd = MakeWorkDir(false);
    if (c.where == RefusalCase::NoPackage) {
        o.programDir = MakeCliProgramDir();
        fs::remove(o.programDir / "MR2A_x64.inf");
    }
    std::string before = SnapshotWithoutMarker(m_machine);
    std::vector<std::string> args = c.args;
    for (auto& a : args)
        if (a.find("@ROOT@") != std::string::npos) a.replace(a.find("@ROOT@"), 6, m_root.string());
    ProgramRun run = Drovan(args, o);
    EXPECT_EQ(run.status, c.code) << run.Both();
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    if (c.unchanged) {
        EXPECT_EQ(SnapshotWithoutMarker(m_machine), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refuses,
    ::testing::Values(
        RefusalCase{"UnknownSwitch", {}, {"/quiet", "/model:QB410", "/colour:red"}, 2, "unknown switch /colour"},
        RefusalCase{"UnknownModel", {}, {"/quiet", "/model:QB999"}, 2, "unknown model \"QB999\""},
        RefusalCase{"NoModel", {}, {"/quiet", "/port:COM1:"}, 2, "no model"},
        RefusalCase{"StrayArgument", {}, {"/quiet", "QB410"}, 2, "unexpected argument \"QB410\""},
        RefusalCase{"SwitchTwice", {}, {"/quiet", "/model:QB410", "/model:QD530"}, 2, "given twice"},
        RefusalCase{"FlagWithAValue", {}, {"/quiet", "/model:QB410", "/default:yes"}, 2, "takes no value"},
        RefusalCase{"SerialFourFields", {}, {"/quiet", "/model:QB410", "/port:COM1:", "/serial:9600,n,8,1"}, 2,
                    "five fields"},
        RefusalCase{"SerialValueThePageDoesNotOffer", {}, {"/quiet", "/model:QB410", "/port:COM1:", "/serial:9601,n,8,1,p"},
                    2, "baud rate \"9601\""},
        RefusalCase{"SerialOnAPortThatIsNoComPort", {}, {"/quiet", "/model:QB410", "/port:LPT1:", "/serial:9600,n,8,1,p"},
                    2, "/serial sets a COM port"},
        RefusalCase{"SaveinfWithAnUnattendedRun", {}, {"/quiet", "/model:QB410", "/saveinf:@ROOT@/x.ini"}, 2,
                    "/saveinf records"},
        RefusalCase{"LogThatCannotBeWritten", {}, {"/quiet", "/model:QB410", "/log:@ROOT@/no/such/folder/x.log"}, 2,
                    "cannot write the log file"},
        RefusalCase{"ModelInstalledWithoutReplace", {kModelDriver, kModelPrinter}, {"/quiet", "/model:QB410", "/port:COM1:"},
                    3, "1 printer(s) of the model \"QB410 Printer\" are installed already"},
        RefusalCase{"NoSuchPort", {}, {"/quiet", "/model:QB410", "/port:COM9:"}, 4, "There is no port \"COM9:\""},
        RefusalCase{"NoUsbPrinterAttached", {}, {"/quiet", "/model:QB410"}, 4, "No USB printer"},
        // The port is looked at before the old printers are deleted: nothing is lost for it.
        RefusalCase{"UsbPrinterAttachedWhileAnotherPortIsNamed", {kModelDriver, kModelPrinter, kUsbPrinter3},
                    {"/quiet", "/model:QB410", "/port:COM1:", "/replace"}, 4, "A USB printer of the family is attached"},
        RefusalCase{"RemovalFails", {kModelDriver, kModelPrinter, {"fault", "set", "DeletePrinter", "5"}},
                    {"/quiet", "/model:QB410", "/port:COM1:", "/replace"}, 5, "could not all be deleted"},
        RefusalCase{"PrintUiCannotBeStarted", {{"fault", "set", "ShellExecuteExW", "2"}},
                    {"/quiet", "/model:QB410", "/port:COM1:"}, 1, "ERROR: The specified file was not found.", RefusalCase::Bin,
                    false},
        RefusalCase{"DriverPackageMissing", {}, {"/quiet", "/model:QB410", "/port:COM1:"}, 1,
                    "The installation of printer \"QB410 Printer\" on COM1: failed.", RefusalCase::NoPackage, false},
        RefusalCase{"LicenceTextMissing", {}, {"/quiet", "/model:QB410", "/port:COM1:"}, 6, "ReadMe_en.txt",
                    RefusalCase::NoLicences}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliTest, UsageInTheUiLanguage) {
    ProgramRun run = Drovan({"/?"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Usage:"), std::string::npos) << run.out;
    for (const char* text : {"/quiet", "/model:NAME", "/serial:", "/whatif", "/saveinf:FILE", "/loadinf:FILE", "Exit codes:",
                             "6  the installation could not be run"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    InitMachine(2052);
    run = Drovan({"/help", "/quiet"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("用法："), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("退出代码："), std::string::npos);
    // The refusals speak the same language.
    run = Drovan({"/quiet", "/model:QB999"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("未知型号 \"QB999\""), std::string::npos) << run.err;
}

TEST_F(CliTest, LogHoldsTheWizardsOwnLinesInOrder) {
    // The same installation by the wizard, on a twin machine, with its log observed.
    Transcript wizard = ReplayWithLog(std::string(kToPortPage) + "click 1004\nselect 1008 \"COM1:\"\nclick 3\n" +
                                      std::string(kSuccessEnd));
    ASSERT_EQ(wizard.exitCode, 0) << wizard.errors;
    InitMachine(1033);
    const fs::path log = File("run.log");
    ProgramRun run = Drovan({"/quiet", "/model:QB410", "/port:COM1:", "/log:" + log.string()});
    ASSERT_EQ(run.status, 0) << run.Both();

    std::vector<std::string> lines = Lines(ReadText(log));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "Drovan Setup 1.0.0, arguments: /quiet /model:QB410 /port:COM1: /log:" + log.string());
    EXPECT_EQ(lines.back(), "exit code 0: Printer \"QB410 Printer\" installed on COM1:.");
    std::vector<std::string> convention(lines.begin() + 1, lines.end() - 1);
    EXPECT_EQ(convention, wizard.logs) << "the unattended run is the wizard's own run";
    ASSERT_GE(convention.size(), 4u);
    // The static objects' line comes before the dialog's start line, as it was handed over.
    EXPECT_EQ(convention[0], "kwl at PrinterInfo GetAppPath() m_szAppPath=" + AppDir());
    EXPECT_EQ(convention[2], "kwl at begin...");
    // Without /log no file appears, and nothing else is written by the log.
    EXPECT_EQ(Drovan({"/quiet", "/model:QB410", "/port:COM1:", "/replace"}).status, 0);
    EXPECT_FALSE(fs::exists(DriveC().parent_path() / "myLog.txt"));
}

TEST_F(CliTest, LogOfARefusedCommandLineSaysWhy) {
    const fs::path log = File("refused.log");
    ProgramRun run = Drovan({"/quiet", "/log:" + log.string(), "/model:QB410", "/port:COM1:", "/serial:9600,x,8,1,p"});
    EXPECT_EQ(run.status, 2);
    // The lines handed over so far (the static objects'), then why the run ended.
    std::vector<std::string> lines = Lines(ReadText(log));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "kwl at PrinterInfo GetAppPath() m_szAppPath=" + AppDir());
    EXPECT_EQ(lines[2].rfind("exit code 2: Command line: bad serial settings \"9600,x,8,1,p\": the parity \"x\"", 0), 0u)
        << lines[2];
}

TEST_F(CliTest, WithoutQuietTheRefusalIsAlsoAMessageBox) {
    // drovan-replay stands for the person at the screen: the box is in its transcript.
    Transcript t = ReplayWithArguments("", {"/model:QB410", "/colour"});
    EXPECT_EQ(t.exitCode, 2) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].icon, "error");
    EXPECT_EQ(t.msgboxes[0].caption, "Printer Driver Setup");
    EXPECT_EQ(t.msgboxes[0].text, "Command line: unknown switch /colour (see /?)");
    EXPECT_EQ(t.errors, "Command line: unknown switch /colour (see /?)\n");
    EXPECT_FALSE(t.Has("open 102")) << "no wizard for a refused command line";
}
