// The installed-driver dialog: the model page's Next with printers of the model already
// installed, what the dialog offers in both languages, and what Delete removes from the
// machine: printers (their queues purged first) and the driver, with the spooler restarted
// when the driver will not go.
#include "wizard_fixture.h"

namespace {

const char kModel[] = "QB410 Printer";
const char kToDriverInfo[] = "click 1001\nclick 3\nclick 3\n";  // licence, model page, Next
// A deletion that needs no pause: the scripted user waits for it as for any action.
const char kDelete[] = "click 1038\n";

const char kOfferEn[] = "There are 1 QB410 Printer Drivers Installed\r\n\r\nPlease choose Delete or still Install";
const char kDeletedEn[] = "\r\n      \"QB410 Printer\" drivers have been deleted";
const char kFailedEn[] = "   Driver delete failed";

std::vector<std::string> Names(const Json& printers) {
    std::vector<std::string> names;
    for (const auto& p : printers.Items()) names.push_back(p["name"].AsString());
    return names;
}

class DriverInfo : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        InitMachine(1033);
    }
    void AddDriver(const std::string& name) {
        MachineOk({"driver", "add", name, "--file", std::string(DROVAN_BIN_DIR) + "/mr2a.gpd"});
    }
    void AddPrinter(const std::string& name, const std::string& driver = kModel, const std::string& port = "LPT1:") {
        MachineOk({"printer", "add", name, "--driver", driver, "--port", port});
    }
    // The model's driver and one printer of it, the common starting point.
    void InstallModel() {
        AddDriver(kModel);
        AddPrinter(kModel);
    }
    // The dump of dialog 142 at index n of the transcript's dumps of that dialog.
    static const Dump* DialogDump(const Transcript& t, int n) {
        int seen = 0;
        for (const auto& d : t.dumps)
            if (d.dialog == 142 && seen++ == n) return &d;
        return nullptr;
    }
    static void ExpectButtons(const Dump& d, bool del, bool install, bool cancel) {
        EXPECT_EQ(d[1038].enabled, del);
        EXPECT_EQ(d[1040].enabled, install);
        EXPECT_EQ(d[1041].enabled, cancel);
    }
};

}  // namespace

TEST_F(DriverInfo, NoPrinterOfTheModelShowsNoDialog) {
    AddDriver(kModel);
    AddPrinter("Office", kModel);  // the model's driver, but not the model's name
    Transcript t = Replay(std::string(kToDriverInfo) + "dump\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_FALSE(t.Has("open 142"));
    ASSERT_EQ(t.dumps.size(), 1u);
    EXPECT_EQ(t.dumps[0][1002].text, "Printer driver configure");
}

TEST_F(DriverInfo, EnglishOfferThenDeleteThenInstallGoesOnToThePortPage) {
    InstallModel();
    MachineOk({"job", "add", kModel, "receipt"});
    AddDriver("Generic Text");
    AddPrinter("Office", "Generic Text");
    Transcript t = ReplayWithLog(std::string(kToDriverInfo) + "dump\nclick 1038\ndump\nclick 1040\ndump\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;

    const Dump* offer = DialogDump(t, 0);
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(offer->self.text, "");
    EXPECT_FALSE(offer->self.closebox);
    EXPECT_EQ((*offer)[1039].text, kOfferEn);
    EXPECT_EQ((*offer)[1038].text, "Delete");
    EXPECT_EQ((*offer)[1040].text, "Install");
    EXPECT_EQ((*offer)[1041].text, "Cancel");
    ExpectButtons(*offer, true, true, true);

    const Dump* deleted = DialogDump(t, 1);
    ASSERT_NE(deleted, nullptr);
    EXPECT_EQ((*deleted)[1039].text, kDeletedEn);
    ExpectButtons(*deleted, false, true, true);

    // Install closes the dialog and the wizard goes on to the port page.
    EXPECT_TRUE(t.Has("end 142 1"));
    ASSERT_EQ(t.dumps.back().dialog, 102);
    EXPECT_EQ(t.dumps.back()[1002].text, "Printer driver configure");

    // The model's printer, its queued job and its driver are gone; the other printer stays.
    EXPECT_EQ(Names(Printers()), std::vector<std::string>{"Office"});
    EXPECT_EQ(MachineJson({"jobs"}).size(), 0u);
    EXPECT_EQ(Drivers().size(), 1u);
    EXPECT_EQ(Drivers()[0]["name"].AsString(), "Generic Text");

    const std::vector<std::string> expected = {
        "kwl at PrinterInfo SetPrinterName() m_szPrinterName=QB410 Printer",
        "kwl at PrinterInfo DeletePrintJob() GetPrinterName() lpszName=QB410 Printer,szBuf=100",
        "kwl at PrinterInfo EnumSamePrinter() nSameNumbers=1",
        "kwl at PrinterInfo DeleteDriver() pszDriver=QB410 Printer",
        "kwl at PrinterInfo DeleteDriver() OpenPrinter() retBool=1",
        "kwl at PrinterInfo DeletePrintJob() begin...",
        "kwl at PrinterInfo DeletePrintJob() GetPrinter() false",
        "kwl at PrinterInfo DeletePrintJob() GetPrinter() true dwBufSize=",
        "kwl at PrinterInfo DeletePrintJob() SetPrinter() true",
        "kwl at PrinterInfo DeleteDriver() DeletePrintJob() true",
        "kwl at PrinterInfo DeleteDriver() DeletePrinter() true",
        "kwl at PrinterInfo DeleteDriver() ClosePrinter() true",
        "kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx() true",
    };
    int at = t.FindLog(expected[0]);
    ASSERT_GE(at, 0);
    for (const auto& line : expected) {
        int found = t.FindLog(line, at);
        EXPECT_EQ(found, at) << line;
        at = (found >= 0 ? found : at) + 1;
    }
}

TEST_F(DriverInfo, ChineseOfferKeepsTheResourceButtonTexts) {
    InitMachine(2052);
    InstallModel();
    AddPrinter("QB410 Printer (副本 1)", kModel, "LPT2:");
    Transcript t = Replay(std::string(kToDriverInfo) + "dump\nclick 1041\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    const Dump* offer = DialogDump(t, 0);
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ((*offer)[1039].text, "本机已安装了 2 个 QB410 Printer 驱动程序\r\n\r\n请选择删除还是继续安装?");
    EXPECT_EQ((*offer)[1038].text, "删除");
    EXPECT_EQ((*offer)[1040].text, "安装");
    EXPECT_EQ((*offer)[1041].text, "取消");
    EXPECT_EQ(Printers().size(), 2u);
}

TEST_F(DriverInfo, CancelStaysOnTheModelPageAndTheNextShowingCountsAgain) {
    InstallModel();
    // Cancel; Next shows the dialog again, in Offer; Escape keeps the earlier Cancel, so
    // the wizard stays; Next, Delete, Cancel; a last Next finds no printer and goes on.
    Transcript t = Replay(std::string(kToDriverInfo) +
                          "click 1041\ndump\n"
                          "click 3\ndump\nkey escape\ndump\n"
                          "click 3\nclick 1038\nclick 1041\n"
                          "click 3\ndump\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(t.Count("open 142"), 3);
    // Cancel ends the dialog the OK way, with IDOK; Escape with IDCANCEL.
    EXPECT_EQ(t.Count("end 142 1"), 2);
    EXPECT_EQ(t.Count("end 142 2"), 1);
    ASSERT_EQ(t.dumps.size(), 4u);
    EXPECT_EQ(t.dumps[0].dialog, 102);
    EXPECT_EQ(t.dumps[0][1002].text, "Printer driver property");
    EXPECT_EQ(t.dumps[1].dialog, 142);
    ExpectButtons(t.dumps[1], true, true, true);
    EXPECT_EQ(t.dumps[1][1039].text, kOfferEn);
    EXPECT_EQ(t.dumps[2][1002].text, "Printer driver property");
    // No printer of the model is left: no dialog, straight to the port page.
    EXPECT_EQ(t.dumps[3].dialog, 102);
    EXPECT_EQ(t.dumps[3][1002].text, "Printer driver configure");
    EXPECT_EQ(Printers().size(), 0u);
}

TEST_F(DriverInfo, EscapeAfterAnEarlierInstallGoesOnAsInstall) {
    InstallModel();
    Transcript t = Replay(std::string(kToDriverInfo) + "click 1040\nclick 1003\nclick 3\nkey escape\ndump\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(t.Count("open 142"), 2);
    EXPECT_TRUE(t.Has("end 142 2"));
    ASSERT_EQ(t.dumps.size(), 1u);
    EXPECT_EQ(t.dumps[0][1002].text, "Printer driver configure");
    EXPECT_EQ(Printers().size(), 1u);
}

TEST_F(DriverInfo, HeldDriverGoesAfterOneSpoolerRestart) {
    InstallModel();
    MachineOk({"driver", "hold", kModel});
    // Clicks on the buttons while the worker runs find them disabled and do nothing.
    Transcript t = ReplayWithLog(std::string(kToDriverInfo) + "click 1038\nclick 1040\nclick 1041\n" +
                                 "wait 16000\ndump\nclick 1041\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_TRUE(t.Has("ignored click 1040: disabled"));
    EXPECT_TRUE(t.Has("ignored click 1041: disabled"));
    const Dump* after = DialogDump(t, 0);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ((*after)[1039].text, kDeletedEn);
    ExpectButtons(*after, false, true, true);
    EXPECT_EQ(Printers().size(), 0u);
    EXPECT_EQ(Drivers().size(), 0u);
    int first = t.FindLog("DeletePrinterDriverEx() false pszDriver=QB410 Printer,dwError1=");
    EXPECT_GE(first, 0);
    EXPECT_GT(t.FindLog("DeletePrinterDriverEx()2 true ii=0"), first);
    EXPECT_LT(t.FindLog("DeletePrinterDriverEx() true"), 0);
    EXPECT_NE(Machine({"service", "Spooler", "status"}).find("running"), std::string::npos);
}

TEST_F(DriverInfo, CopiesAreDeletedButTheirDriverNamesFailAfterTwoRetries) {
    InstallModel();
    AddPrinter("QB410 Printer (Copy 1)", kModel, "LPT2:");
    AddPrinter("QB410 Printer#(2", kModel, "LPT3:");
    // Not of the model by its name: neither counted nor touched.
    for (const char* other : {"QB410 Printer(1)", "QB410 Printer (", "QB410 Printer 22", "qb410 printer (Copy 9)",
                              "QB410 Printer2"})
        AddPrinter(other, kModel, "FILE:");
    Transcript t = ReplayWithLog(std::string(kToDriverInfo) + "click 1038\nwait 150000\ndump\nclick 1041\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_GE(t.FindLog("EnumSamePrinter() nSameNumbers=3"), 0);
    // Each listed printer is deleted, then a driver of its own name is asked for: the
    // model's driver is still used by the other models' printers and the copies carry no
    // driver of their name, so every name fails its two retry passes.
    EXPECT_EQ(t.Count("log \"kwl at PrinterInfo DeleteDriver() DeletePrinter() true\""), 3);
    EXPECT_EQ(t.Count("log \"kwl at PrinterInfo DeleteDriver() DeletePrinterDriverEx()2 false ii=1\""), 3);
    EXPECT_GE(t.FindLog("DeletePrinterDriverEx() false pszDriver=QB410 Printer (Copy 1),dwError1=705"), 0);
    const Dump* after = DialogDump(t, 0);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ((*after)[1039].text, kFailedEn);
    ExpectButtons(*after, true, false, true);
    // What is left, in the spooler's order (by name, ignoring case).
    EXPECT_EQ(Names(Printers()), (std::vector<std::string>{"QB410 Printer (", "qb410 printer (Copy 9)", "QB410 Printer 22",
                                                           "QB410 Printer(1)", "QB410 Printer2"}));
    EXPECT_EQ(Drivers().size(), 1u);
}

TEST_F(DriverInfo, RefusedPurgeIsShownAndLeavesPrinterAndDriver) {
    InstallModel();
    MachineOk({"fault", "set", "SetPrinterW", "5", "--always"});
    Transcript t = ReplayWithLog(std::string(kToDriverInfo) + kDelete + "dump\nclick 1041\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].owner, "none");
    EXPECT_EQ(t.msgboxes[0].caption, "Error");
    EXPECT_EQ(t.msgboxes[0].text, "DeletePrintJob-SetPrinter errors, the error code is:5\n");
    EXPECT_GE(t.FindLog("DeletePrintJob() SetPrinter() false dwError=5"), 0);
    EXPECT_GE(t.FindLog("DeleteDriver() DeletePrintJob() false"), 0);
    EXPECT_LT(t.FindLog("DeletePrinterDriverEx"), 0);
    const Dump* after = DialogDump(t, 0);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ((*after)[1039].text, kFailedEn);
    EXPECT_EQ(Printers().size(), 1u);
    EXPECT_EQ(Drivers().size(), 1u);
}

TEST_F(DriverInfo, UnreadablePrinterListDeletesNothingAndReportsFailure) {
    InstallModel();
    // The wizard's own count reads the list with two calls (size, then records); the
    // worker's first reading fails.
    MachineOk({"fault", "set", "EnumPrintersW", "1722", "--once", "--after", "2"});
    Transcript t = ReplayWithLog(std::string(kToDriverInfo) + kDelete + "dump\nclick 1041\nkey escape\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_LT(t.FindLog("EnumSamePrinter()"), 0) << "no count is logged when the list cannot be read";
    EXPECT_LT(t.FindLog("DeleteDriver()"), 0);
    const Dump* after = DialogDump(t, 0);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ((*after)[1039].text, kFailedEn);
    ExpectButtons(*after, true, false, true);
    EXPECT_EQ(Printers().size(), 1u);
    EXPECT_EQ(Drivers().size(), 1u);
}
