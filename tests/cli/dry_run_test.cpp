// /whatif: what an installation would do, told through the wizard's own operations, with
// nothing on the machine changed; and the installation then does exactly what was told.
#include <algorithm>

#include "cli_fixture.h"

namespace fs = std::filesystem;

namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST_F(CliTest, DryRunTellsTheInstallationAndChangesNothing) {
    AddDriver("Generic Text");
    AddPrinter("Office", "Generic Text", "LPT3:");
    MachineOk({"default", "Office"});
    AddDriver("QB410 Printer");
    AddPrinter("QB410 Printer", "QB410 Printer", "LPT1:");
    AddPrinter("QB410 Printer (Copy 1)", "QB410 Printer", "LPT2:");
    MachineOk({"job", "add", "QB410 Printer", "receipt"});
    const std::vector<std::string> switches = {"/quiet", "/model:QB410", "/port:COM2:", "/serial:19200,o,7,2,x",
                                               "/replace", "/default"};

    const std::string before = MachineSnapshot(m_machine);
    std::vector<std::string> args = switches;
    args.push_back("/whatif");
    ProgramRun run = Drovan(args);
    ASSERT_EQ(run.status, 0) << run.Both();
    EXPECT_EQ(MachineSnapshot(m_machine), before) << "a dry run changes nothing, not even the language marker";

    const std::string cmd = "PRINTUI.DLL,PrintUIEntry /if /n \"QB410 Printer\" /f \"" + AppDir() +
                            "MR2A_x64.inf\" /r \"COM2:\" /m \"QB410 Printer\" ";
    std::vector<std::string> plan = Lines(run.out);
    const std::vector<std::string> expected = {
        "Dry run (/whatif): nothing is changed.",
        "Model: QB410 Printer",
        "Installed printers of the model: 2",
        "Would delete printer \"QB410 Printer\", its queued jobs first",
        "Would delete printer \"QB410 Printer (Copy 1)\", its queued jobs first",
        "Would delete driver \"QB410 Printer\"",
        "Port: COM2:",
        "Would write the serial settings: HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports, COM2: = "
        "\"19200,o,7,2,x\"",
        "Would run: C:\\Windows\\system32\\rundll32.exe " + cmd,
        "Would make \"QB410 Printer\" the default printer (now: \"Office\")",
        "Dry run: nothing was changed.",
    };
    EXPECT_EQ(plan, expected);

    // The installation itself: the command it runs is the one told, and so is the rest.
    const fs::path log = File("install.log");
    args = switches;
    args.push_back("/log:" + log.string());
    run = Drovan(args);
    ASSERT_EQ(run.status, 0) << run.Both();
    EXPECT_TRUE(HasLine(Lines(ReadText(log)), "kwl at PrinterInfo NormalInstaller() cmd=" + cmd));
    Json printers = Printers();
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(PortsValue("COM2:"), std::optional<std::string>("19200,o,7,2,x"));
    EXPECT_EQ(DefaultPrinter(), "QB410 Printer");
}

namespace {

struct DryRunCase {
    const char* name;
    std::vector<std::vector<std::string>> setup;
    std::vector<std::string> args;
    int code;
    const char* told;  // a line of the plan (standard output)
};

void PrintTo(const DryRunCase& c, std::ostream* os) { *os << c.name; }

class DryRun : public CliTest, public ::testing::WithParamInterface<DryRunCase> {};

}  // namespace

// A dry run ends as the installation would end before its first change, with its code.
TEST_P(DryRun, EndsAsTheRunWouldBeforeChangingAnything) {
    const DryRunCase& c = GetParam();
    for (const auto& command : c.setup) MachineOk(command);
    const std::string before = MachineSnapshot(m_machine);
    std::vector<std::string> args = c.args;
    args.push_back("/whatif");
    ProgramRun run = Drovan(args);
    EXPECT_EQ(run.status, c.code) << run.Both();
    EXPECT_TRUE(HasLine(Lines(run.out), c.told)) << run.out;
    EXPECT_EQ(MachineSnapshot(m_machine), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DryRun,
    ::testing::Values(
        DryRunCase{"ModelInstalledWithoutReplace",
                   {{"driver", "add", "QD530 Printer"}, {"printer", "add", "QD530 Printer", "--driver", "QD530 Printer", "--port", "LPT1:"}},
                   {"/quiet", "/model:QD530", "/port:COM1:"}, 3, "Installed printers of the model: 1"},
        DryRunCase{"NoSuchPort", {}, {"/quiet", "/model:QD530", "/port:LPT9:"}, 4, "Model: QD530 Printer"},
        DryRunCase{"AttachedUsbPrinter", {{"usb", "attach", "vid_0483&pid_5720", "A1", "--port", "7"}},
                   {"/quiet", "/model:QD530"}, 0, "Port: USB007 (the attached USB printer)"},
        DryRunCase{"NoDefaultChange", {}, {"/quiet", "/model:QD530", "/port:LPT1:"}, 0, "The default printer would stay: none"}),
    [](const auto& p) { return std::string(p.param.name); });
