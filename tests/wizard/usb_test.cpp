// The attached USB printer: found among the plugged-in USB devices by its IDs, installed on
// its own USB port without the port page, the port formed from the number the system gave
// the device.
#include <cstdio>

#include "wizard_fixture.h"

namespace {

const char kOurs[] = "vid_0483&pid_5720";
const char kToModelNext[] = "click 1001\nclick 3\nclick 3\n";
const char kPrintClassKey[] =
    "HKLM\\SYSTEM\\%s\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\"
    "##?#USB#vid_0483&pid_5720#%s#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters";

std::string PrintClassKey(const std::string& controlSet, const std::string& serial) {
    char buf[512];
    std::snprintf(buf, sizeof buf, kPrintClassKey, controlSet.c_str(), serial.c_str());
    return buf;
}

class Usb : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        InitMachine(1033);
    }
    void Attach(const std::string& id, const std::string& serial, int port = 0) {
        std::vector<std::string> args = {"usb", "attach", id, serial};
        if (port) args.insert(args.end(), {"--port", std::to_string(port)});
        MachineOk(args);
    }
    // The port the print UI was asked to install on, from the log.
    static std::string RequestedPort(const Transcript& t) {
        int at = t.FindLog("NormalInstaller() cmd=");
        if (at < 0) return "";
        const std::string& line = t.logs[at];
        size_t r = line.find("/r \"");
        if (r == std::string::npos) return "";
        return line.substr(r + 4, line.find('"', r + 4) - r - 4);
    }
    // The model page's Next with our printer attached: straight to the installation.
    Transcript InstallFromModelPage() {
        return ReplayWithLog(std::string(kToModelNext) + "wait-close 30000\nkey escape\n");
    }
};

}  // namespace

TEST_F(Usb, AttachedPrinterIsInstalledOnItsPortWithoutThePortPage) {
    Attach(kOurs, "A1B2C3", 3);
    Transcript t = InstallFromModelPage();
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(RequestedPort(t), "USB003");
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].text, "Printer driver installation success!");
    Json printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0]["port"].AsString(), "USB003");
}

TEST_F(Usb, UpperCaseIdentityIsFoundAndTheFirstMatchingDeviceWins) {
    Attach("VID_0483&PID_5720", "AAA1", 4);
    Attach(kOurs, "BBB2", 6);
    Transcript t = InstallFromModelPage();
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(RequestedPort(t), "USB004");
}

TEST_F(Usb, OtherOrUnpluggedDevicesLeadToThePortPage) {
    Attach("vid_1234&pid_0001", "K1", 1);  // somebody else's device
    Attach(kOurs, "GONE", 2);
    MachineOk({"usb", "detach", "GONE"});
    // The unplugged printer's port stays listed; choosing it installs on it as it is.
    Transcript t = ReplayWithLog(std::string(kToModelNext) + "dump\nselect 1008 \"USB002\"\nclick 3\nwait-close 30000\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 1u);
    EXPECT_EQ(t.dumps[0][1002].text, "Printer driver configure");
    EXPECT_EQ(RequestedPort(t), "USB002");
}

TEST_F(Usb, PortNumberOfTheLastControlSetThatHasOneWins) {
    Attach(kOurs, "CS1", 2);
    MachineOk({"reg", "set", PrintClassKey("ControlSet002", "CS1"), "Port Number", "REG_DWORD", "5"});
    MachineOk({"port", "add", "USB005", "--monitor", "usb"});
    Transcript t = InstallFromModelPage();
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(RequestedPort(t), "USB005");
    EXPECT_EQ(Printers()[0]["port"].AsString(), "USB005");
}

TEST_F(Usb, TwoDigitPortNumbersAreNamedAsTheSpoolerNamesThem) {
    Attach(kOurs, "TEN", 10);
    Transcript t = InstallFromModelPage();
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(RequestedPort(t), "USB010");
    EXPECT_EQ(Printers()[0]["port"].AsString(), "USB010");
}

TEST_F(Usb, NoPortNumberAnywhereGivesUsb00AndTheInstallationFails) {
    Attach(kOurs, "NOKEY", 1);
    MachineOk({"reg", "delete", PrintClassKey("ControlSet001", "NOKEY")});
    Transcript t = ReplayWithLog(std::string(kToModelNext) + "wait-close 30000\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(RequestedPort(t), "USB00");
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].icon, "error");
    EXPECT_EQ(Printers().size(), 0u);
}

TEST_F(Usb, FailedDeviceQueryMeansNoPrinterFound) {
    Attach(kOurs, "Q1", 1);
    MachineOk({"fault", "set", "SetupDiGetClassDevsW", "13", "--always"});
    Transcript t = Replay(std::string(kToModelNext) + "dump\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 1u);
    EXPECT_EQ(t.dumps[0][1002].text, "Printer driver configure");
    EXPECT_TRUE(t.msgboxes.empty());
}
