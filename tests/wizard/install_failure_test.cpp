// Installations that fail: the launch errors of the shell, a print UI that fails or
// hangs, values the record refuses. The user sees the failure, and nothing is half-made.
#include <algorithm>
#include <fstream>
#include <ostream>

#include "wizard_fixture.h"

namespace fs = std::filesystem;

namespace {

// What a failed installation leaves: no printer, no driver, no driver files.
void ExpectNothingInstalled(WizardTest* self, const Json& printers, const Json& drivers, const fs::path& driveC) {
    (void)self;
    EXPECT_EQ(printers.size(), 0u);
    EXPECT_EQ(drivers.size(), 0u);
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(driveC / "Windows/System32/spool/drivers", ec))
        EXPECT_FALSE(e.is_regular_file()) << e.path();
}

// The wizard's own failure box is the last message and ends the wizard.
void ExpectWizardFailure(const Transcript& t) {
    ASSERT_FALSE(t.msgboxes.empty());
    const MessageBoxLine& last = t.msgboxes.back();
    EXPECT_EQ(last.owner, "102");
    EXPECT_EQ(last.icon, "error");
    EXPECT_EQ(last.text, "Printer driver installation failed!");
    EXPECT_GT(t.Find("end 102 2"), t.Find("msgbox owner=102"));
    EXPECT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_FALSE(t.Has("open 152")) << "no closing dialog after a failure";
}

struct LaunchError {
    int code;
    const char* message;
};

// How gtest names the case in its listing (and so in ctest's): the code, not the bytes.
void PrintTo(const LaunchError& e, std::ostream* os) { *os << "error " << e.code; }

class LaunchFails : public WizardTest, public ::testing::WithParamInterface<LaunchError> {};

}  // namespace

TEST_P(LaunchFails, ErrorBoxThenTheWizardsFailure) {
    const LaunchError& e = GetParam();
    MachineOk({"fault", "set", "ShellExecuteExW", std::to_string(e.code), "--once"});
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"FILE:\"\nclick 3\nwait-close 30000\n");
    ASSERT_EQ(t.msgboxes.size(), 2u) << t.errors;
    EXPECT_EQ(t.msgboxes[0].owner, "none");
    EXPECT_EQ(t.msgboxes[0].icon, "error");
    EXPECT_EQ(t.msgboxes[0].caption, "ERROR");
    EXPECT_EQ(t.msgboxes[0].text, e.message);
    ExpectWizardFailure(t);
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

INSTANTIATE_TEST_SUITE_P(
    ShellErrors, LaunchFails,
    ::testing::Values(
        LaunchError{2, "The specified file was not found."}, LaunchError{3, "The specified path was not found."},
        LaunchError{5, "Access to the specified file is denied."},
        LaunchError{8, "There is not enough memory to perform the specified action."},
        LaunchError{32, "A sharing violation occurred."},
        LaunchError{1155, "There is no application associated with the given file name extension."},
        LaunchError{1156, "The Dynamic Data Exchange (DDE) transaction failed."},
        LaunchError{1157, "One of the library files necessary to run the application can't be found."},
        LaunchError{1223, "The function prompted the user for additional information, but the user canceled the request."},
        LaunchError{4, "Other error occurred."}),
    [](const auto& p) { return "Error" + std::to_string(p.param.code); });

TEST_F(WizardTest, LaunchErrorBoxIsEnglishInTheChineseWizard) {
    InitMachine(2052);
    MachineOk({"fault", "set", "ShellExecuteExW", "1223", "--once"});
    Transcript t = ReplayWithLog(std::string(kToPortPage) + "click 3\nwait-close 30000\n");
    ASSERT_EQ(t.msgboxes.size(), 2u) << t.errors;
    EXPECT_EQ(t.msgboxes[0].caption, "ERROR");
    EXPECT_EQ(t.msgboxes[0].text,
              "The function prompted the user for additional information, but the user canceled the request.");
    EXPECT_EQ(t.msgboxes[1].caption, "错误");
    EXPECT_EQ(t.msgboxes[1].text, "打印机驱动安装失败！");
    EXPECT_GE(t.FindLog("kwl at PrinterInfo ExecutePrint() ShellExecuteEx(&ShExeInfo)  false strErrorMessage=The function prompted"), 0);
    EXPECT_GE(t.FindLog("kwl at PrinterInfo NormalInstaller() ExecutePrint(cmd) false"), 0);
    EXPECT_LT(t.FindLog("IsDriverInstall"), 0) << "no check after a failed launch";
    EXPECT_EQ(Printers().size(), 0u);
}

TEST_F(WizardTest, PrintUiFailureFaultLeavesNothing) {
    MachineOk({"fault", "set", "PrintUIEntry", "1797", "--once"});
    Transcript t = Replay(std::string(kToPortPage) + "click 3\nwait-close 30000\n");
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

TEST_F(WizardTest, NameTakenOnAnotherPortIsAFailure) {
    AddDriver("Generic Text");
    MachineOk({"printer", "add", "QB410 Printer", "--driver", "Generic Text", "--port", "LPT2:"});
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"COM1:\"\nclick 3\nwait-close 30000\n");
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    Json printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0]["port"].AsString(), "LPT2:");
    EXPECT_EQ(printers[0]["driver"].AsString(), "Generic Text");
    Json drivers = Drivers();
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_EQ(drivers[0]["name"].AsString(), "Generic Text");
}

TEST_F(WizardTest, UnknownPortIsAFailure) {
    // The port list holds the spooler's ANSI port names: on a Western machine a port
    // named in Chinese reaches the print UI with '?' in place of its Chinese letters,
    // a port the spooler does not know.
    MachineOk({"port", "add", "PORT打印:"});
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"PORT??:\"\nclick 3\nwait-close 30000\n");
    ASSERT_EQ(t.Count("ignored select"), 0) << "the port list shows the ANSI name";
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

TEST_F(WizardTest, BrokenPackagesLeaveNothingHalfMade) {
    // A driver file missing beside the INF.
    ReplayOptions o;
    o.programDir = MakeProgramDir();
    fs::remove(o.programDir / "mr2a.gpd");
    Transcript t = Replay(std::string(kToPortPage) + "click 3\nwait-close 30000\n", o);
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());

    // An INF that is not one.
    InitMachine(1033);
    o.programDir = MakeProgramDir();
    {
        std::ofstream inf(o.programDir / "MR2A_x64.inf", std::ios::binary | std::ios::trunc);
        inf << "[Version\r\nSignature=\"$Windows NT$\r\n[Manufacturer]\r\n%Maker=\r\n\\\r\n";
    }
    t = Replay(std::string(kToPortPage) + "click 3\nwait-close 30000\n", o);
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());

    // No INF at all.
    InitMachine(1033);
    o.programDir = MakeProgramDir();
    fs::remove(o.programDir / "MR2A_x64.inf");
    t = Replay(std::string(kToPortPage) + "click 3\nwait-close 30000\n", o);
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

TEST_F(WizardTest, QuoteInAValueIsRefusedBeforeAnythingRuns) {
    MachineOk({"port", "add", "LPT\"9:"});
    Transcript t = ReplayWithLog(std::string(kToPortPage) + "select 1008 \"LPT\\\"9:\"\nclick 3\nwait-close 30000\n");
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    EXPECT_GE(t.FindLog("kwl at PrinterInfo NormalInstaller() refused"), 0);
    EXPECT_LT(t.FindLog("cmd="), 0) << "no command is built";
    EXPECT_LT(t.FindLog("ExecutePrint()"), 0) << "nothing runs";
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

TEST_F(WizardTest, PortNameTooLongForItsFieldIsRefused) {
    const std::string name = "LPT" + std::string(200, 'x') + ":";
    MachineOk({"port", "add", name});
    Transcript t = ReplayWithLog(std::string(kToPortPage) + "select 1008 \"" + name + "\"\nclick 3\nwait-close 30000\n");
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    EXPECT_GE(t.FindLog("refused"), 0);
    EXPECT_LT(t.FindLog("ExecutePrint()"), 0) << "nothing runs";
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

TEST_F(WizardTest, ProgramFolderDeeperThanThePathBufferInstallsNothing) {
    // The program's path as Windows sees it: Z: and the host path.
    auto windowsLength = [](const fs::path& p) { return p.string().size() + 2; };
    // A parent folder whose path, with its backslash, is 250 characters long, holding a
    // decoy package; the program's folder below it has a name long enough for the
    // 260-character buffer to end inside it, where the cut path's last backslash would
    // name the parent.
    fs::path parent = m_root / "deep";
    ASSERT_LT(windowsLength(parent), 200u);
    while (windowsLength(parent) + 1 < 250) parent /= std::string(std::min<size_t>(100, 248 - windowsLength(parent)), 'd');
    ASSERT_EQ(windowsLength(parent) + 1, 250u);
    MakeProgramDir(parent);
    ReplayOptions o;
    o.programDir = MakeProgramDir(parent / "drovan-setup-folder");
    o.log = true;
    Transcript t = Replay(std::string(kToPortPage) + "click 3\nwait-close 30000\n", o);
    ASSERT_EQ(t.msgboxes.size(), 1u) << t.errors;
    ExpectWizardFailure(t);
    EXPECT_GE(t.FindLog("kwl at PrinterInfo GetAppPath() refused nLength=260,nCapacity=260"), 0);
    EXPECT_GE(t.FindLog("kwl at PrinterInfo NormalInstaller() refused"), 0);
    EXPECT_LT(t.FindLog("ExecutePrint()"), 0) << "nothing runs";
    ExpectNothingInstalled(this, Printers(), Drivers(), DriveC());
}

TEST_F(WizardTest, HangingPrintUiWrapsTheBarAndMeetsTheTwoMinuteLimit) {
    MachineOk({"fault", "set", "PrintUIEntry", "1460", "--once"});
    Transcript t = ReplayWithLog(std::string(kToPortPage) +
                                 "select 1008 \"FILE:\"\nclick 3\n"
                                 "wait 11900\ndump\n"     // 59 ticks: the bar stands full
                                 "wait 200\ndump\n"       // the 60th step starts it over
                                 "wait 107800\ndump\n"    // 119.9 s: still waiting
                                 "wait 1000\n");          // the wait ends, the check fails
    ASSERT_EQ(t.dumps.size(), 3u) << t.errors;
    EXPECT_EQ(t.dumps[0][1025].pos, 120);
    EXPECT_LT(t.dumps[1][1025].pos, 120);
    EXPECT_LE(t.dumps[1][1025].pos, 2);
    EXPECT_TRUE(t.dumps[2][1025].visible);
    EXPECT_FALSE(t.dumps[2][2].enabled);
    // Nothing happened before the limit; the failure came after it.
    int lastDump = t.Find("dump 102", t.Find("dump 102", t.Find("dump 102") + 1) + 1);
    EXPECT_EQ(t.Find("msgbox"), t.Find("msgbox", lastDump));
    EXPECT_GT(t.Find("log \"kwl at PrinterInfo ExecutePrint() WaitForSingleObject()"), lastDump)
        << "the wait ended only after the limit";
    ASSERT_EQ(t.msgboxes.size(), 1u);
    ExpectWizardFailure(t);
    EXPECT_GE(t.FindLog("kwl at PrinterInfo ExecutePrint() WaitForSingleObject()"), 0);
    EXPECT_EQ(Printers().size(), 0u);
}
