// The wizard's pages in both languages: every transition of Next, Back and Cancel, what
// each page shows, enables and captions, and the choices kept between pages.
#include "wizard_fixture.h"

namespace {

struct Texts {
    const char* licenceTitle;
    const char* modelTitle;
    const char* portTitle;
    const char* next;
    const char* install;
    const char* modelFrame;
};

const Texts kChinese{"软件许可协议", "打印驱动属性", "打印驱动配置", "下一步>>", "安装", "打印机型号"};
const Texts kEnglish{"Software lisence", "Printer driver property", "Printer driver configure", "Next>>",
                     "Install", "Printer Model"};

// Controls that no page shows.
const int kNeverShown[] = {1005, 1006, 1032, 1053, 1022, 1027, 1033, 1034, 1035, 1036, 1051, -1};
const int kSerial[] = {1015, 1016, 1017, 1018, 1019, 1021, 1009, 1010, 1011, 1012, 1020};
const int kSerialLists[] = {1009, 1010, 1011, 1012, 1020};

class Pages : public WizardTest, public ::testing::WithParamInterface<int> {
protected:
    bool Chinese() const { return GetParam() == 2052; }
    const Texts& T() const { return Chinese() ? kChinese : kEnglish; }
    void SetUp() override {
        WizardTest::SetUp();
        InitMachine(GetParam());
    }

    void ExpectAlways(const Dump& d) {
        for (int id : kNeverShown) EXPECT_FALSE(d[id].visible) << "control " << id;
        EXPECT_TRUE(d[1037].visible);
        EXPECT_TRUE(d[2].visible);
    }
    void ExpectLicencePage(const Dump& d, bool accepted) {
        ExpectAlways(d);
        EXPECT_TRUE(d[1002].visible);
        EXPECT_EQ(d[1002].text, T().licenceTitle);
        EXPECT_TRUE(d[1000].visible);
        EXPECT_TRUE(d[1001].visible);
        EXPECT_EQ(d[1001].checked, accepted ? 1 : 0);
        for (int id : {1030, 1031, 1024, 1004, 1013, 1008, 1026, 1025}) EXPECT_FALSE(d[id].visible) << id;
        for (int id : kSerial) EXPECT_FALSE(d[id].visible) << id;
        EXPECT_FALSE(d[1003].enabled);
        EXPECT_EQ(d[3].enabled, accepted);
        EXPECT_EQ(d[3].text, T().next);
        EXPECT_TRUE(d[2].enabled);
    }
    void ExpectModelPage(const Dump& d) {
        ExpectAlways(d);
        EXPECT_TRUE(d[1002].visible);
        EXPECT_EQ(d[1002].text, T().modelTitle);
        EXPECT_FALSE(d[1000].visible);
        EXPECT_FALSE(d[1001].visible);
        EXPECT_TRUE(d[1030].visible);
        EXPECT_TRUE(d[1031].visible);
        EXPECT_TRUE(d[1024].visible);
        EXPECT_EQ(d[1024].text, T().modelFrame);
        EXPECT_TRUE(d[1004].visible);
        EXPECT_EQ(d[1004].checked, 1) << "the default-printer box is checked on every entry";
        for (int id : {1013, 1008, 1026, 1025}) EXPECT_FALSE(d[id].visible) << id;
        for (int id : kSerial) EXPECT_FALSE(d[id].visible) << id;
        EXPECT_TRUE(d[1003].enabled);
        EXPECT_TRUE(d[3].enabled);
        EXPECT_EQ(d[3].text, T().next);
    }
    void ExpectPortPage(const Dump& d) {
        ExpectAlways(d);
        EXPECT_TRUE(d[1002].visible);
        EXPECT_EQ(d[1002].text, T().portTitle);
        for (int id : {1000, 1001, 1030, 1031, 1024, 1004, 1026, 1025}) EXPECT_FALSE(d[id].visible) << id;
        EXPECT_TRUE(d[1013].visible);
        EXPECT_TRUE(d[1008].visible);
        for (int id : kSerial) EXPECT_TRUE(d[id].visible) << id;
        EXPECT_TRUE(d[1003].enabled);
        EXPECT_TRUE(d[3].enabled);
        EXPECT_EQ(d[3].text, T().install);
    }
};

}  // namespace

TEST_P(Pages, LicenceAcceptanceDrivesNext) {
    Transcript t = Replay(
        "dump\n"
        "click 3\nclick 1003\n"        // Next disabled, Back disabled: ignored
        "click 1001\ndump\n"           // accepted: Next enabled
        "click 1001\ndump\n"           // and disabled again
        "click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 3u);
    ExpectLicencePage(t.dumps[0], false);
    EXPECT_TRUE(t.Has("ignored click 3: disabled"));
    EXPECT_TRUE(t.Has("ignored click 1003: disabled"));
    ExpectLicencePage(t.dumps[1], true);
    ExpectLicencePage(t.dumps[2], false);
    EXPECT_TRUE(t.Has("end 102 2"));
}

TEST_P(Pages, ModelPageChoicesAndBackToTheLicence) {
    Transcript t = Replay(
        "click 1001\nclick 3\ndump\n"  // model page: 1030 checked on first entry
        "click 1031\nclick 1004\ndump\n"
        "click 1003\ndump\n"           // back: licence read again, still accepted
        "click 3\ndump\n"              // 1031 kept, 1004 checked again
        "click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 4u);
    ExpectModelPage(t.dumps[0]);
    EXPECT_EQ(t.dumps[0][1030].checked, 1);
    EXPECT_EQ(t.dumps[0][1031].checked, 0);
    EXPECT_EQ(t.dumps[1][1031].checked, 1);
    EXPECT_EQ(t.dumps[1][1030].checked, 0);
    EXPECT_EQ(t.dumps[1][1004].checked, 0);
    ExpectLicencePage(t.dumps[2], true);
    EXPECT_FALSE(t.dumps[2][1000].text.empty());
    EXPECT_EQ(t.dumps[2][1000].text, t.dumps[0][1000].text);
    ExpectModelPage(t.dumps[3]);
    EXPECT_EQ(t.dumps[3][1031].checked, 1);
    EXPECT_EQ(t.dumps[3][1030].checked, 0);
    EXPECT_TRUE(t.msgboxes.empty());
}

TEST_P(Pages, PortPageSelectionEnablesSerialListsAndIsKept) {
    MachineOk({"port", "add", "USB001", "--monitor", "usb"});
    Transcript t = Replay(std::string(kToPortPage) +
                          "dump\n"
                          "select 1008 \"COM2:\"\ndump\n"
                          "select 1008 \"USB001\"\ndump\n"
                          "select 1008 \"FILE:\"\ndump\n"
                          "select 1008 \"COM2:\"\nselect 1009 \"19200\"\n"
                          "click 1003\ndump\n"  // back to the model page
                          "click 3\ndump\n"     // and forward: the choices are kept
                          "click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 6u);
    ExpectPortPage(t.dumps[0]);
    EXPECT_EQ(t.dumps[0][1008].Selected(), "LPT1:");
    for (int id : kSerialLists) EXPECT_FALSE(t.dumps[0][id].enabled) << id;
    for (int id : kSerialLists) EXPECT_TRUE(t.dumps[1][id].enabled) << id;
    for (int id : kSerialLists) EXPECT_FALSE(t.dumps[2][id].enabled) << id;
    for (int id : kSerialLists) EXPECT_FALSE(t.dumps[3][id].enabled) << id;
    ExpectModelPage(t.dumps[4]);
    ExpectPortPage(t.dumps[5]);
    EXPECT_EQ(t.dumps[5][1008].Selected(), "COM2:");
    EXPECT_EQ(t.dumps[5][1009].Selected(), "19200");
    for (int id : kSerialLists) EXPECT_TRUE(t.dumps[5][id].enabled) << id;
    EXPECT_EQ(Printers().size(), 0u);
}

TEST_P(Pages, CancelEndsTheWizardFromEveryPage) {
    for (const char* script : {"click 2\n", "click 1001\nclick 3\nclick 2\n", "click 1001\nclick 3\nclick 3\nclick 2\n"}) {
        Transcript t = Replay(script);
        EXPECT_EQ(t.exitCode, 0) << script << t.errors;
        EXPECT_EQ(t.Count("open "), 1) << script;
        EXPECT_EQ(t.Find("end 102 2"), static_cast<int>(t.lines.size()) - 2) << script;
        EXPECT_TRUE(t.msgboxes.empty()) << script;
    }
    EXPECT_EQ(Printers().size(), 0u);
}

TEST_P(Pages, NoPortSelectedWarnsAndStaysOnThePortPage) {
    for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"})
        MachineOk({"port", "delete", port});
    Transcript t = Replay(std::string(kToPortPage) + "click 3\ndump\nclick 1003\ndump\nclick 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].icon, "warning");
    EXPECT_EQ(t.msgboxes[0].owner, "102");
    ASSERT_EQ(t.dumps.size(), 2u);
    ExpectPortPage(t.dumps[0]);
    EXPECT_EQ(t.dumps[0][1008].sel, -1);
    EXPECT_TRUE(t.dumps[0][2].enabled);
    ExpectModelPage(t.dumps[1]);  // still a working wizard
    EXPECT_EQ(Printers().size(), 0u);
    EXPECT_EQ(Drivers().size(), 0u);
}

TEST_P(Pages, ProgressViewAndSuccessOutcome) {
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"FILE:\"\nclick 3\ndump\n" + kSuccessEnd);
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 1u);
    const Dump& d = t.dumps[0];
    ExpectAlways(d);
    EXPECT_FALSE(d[1002].visible) << "the frame goes when the port page starts the installation";
    EXPECT_TRUE(d[1025].visible);
    EXPECT_EQ(d[1025].range, "0..120");
    EXPECT_EQ(d[1025].step, 2);
    EXPECT_EQ(d[1025].pos, 2);
    EXPECT_TRUE(d[1026].visible);
    for (int id : {1000, 1001, 1030, 1031, 1024, 1004, 1013, 1008}) EXPECT_FALSE(d[id].visible) << id;
    for (int id : kSerial) EXPECT_FALSE(d[id].visible) << id;
    EXPECT_FALSE(d[1003].enabled);
    EXPECT_FALSE(d[3].enabled);
    EXPECT_FALSE(d[2].enabled);
    EXPECT_TRUE(d.self.topmost);
    EXPECT_FALSE(d.self.closebox) << "the window menu's Close is greyed";

    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].owner, "102");
    EXPECT_EQ(t.msgboxes[0].icon, "information");
    EXPECT_EQ(t.msgboxes[0].caption, Chinese() ? "成功" : "OK");
    EXPECT_EQ(t.msgboxes[0].text, Chinese() ? "恭喜，打印机驱动安装成功！" : "Printer driver installation success!");
    EXPECT_GT(t.Find("end 102 2"), t.Find("msgbox"));
    EXPECT_GT(t.Find("open 152"), t.Find("end 102 2")) << "the closing dialog follows success";
    EXPECT_EQ(DefaultPrinter(), "QB410 Printer");
}

TEST_P(Pages, FailureOutcome) {
    MachineOk({"fault", "set", "PrintUIEntry", "5", "--once"});
    Transcript t = Replay(std::string(kToPortPage) + "click 3\nwait-close 30000\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].owner, "102");
    EXPECT_EQ(t.msgboxes[0].icon, "error");
    EXPECT_EQ(t.msgboxes[0].caption, Chinese() ? "错误" : "ERROR");
    EXPECT_EQ(t.msgboxes[0].text, Chinese() ? "打印机驱动安装失败！" : "Printer driver installation failed!");
    EXPECT_GT(t.Find("end 102 2"), t.Find("msgbox"));
    EXPECT_EQ(t.Count("open "), 1) << "no dialog follows a failure";
    EXPECT_EQ(Printers().size(), 0u);
    EXPECT_EQ(DefaultPrinter(), "");
}

INSTANTIATE_TEST_SUITE_P(Languages, Pages, ::testing::Values(2052, 1033),
                         [](const auto& p) { return "Lang" + std::to_string(p.param); });
