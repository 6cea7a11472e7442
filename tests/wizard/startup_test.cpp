// Start-up: the texts of the user's language, the language marker file, the licence
// text, a missing licence file, and the log lines of the start.
#include <fstream>
#include <unistd.h>

#include "wizard_fixture.h"

namespace fs = std::filesystem;

namespace {

// A UTF-16LE file as UTF-8, every character kept (the byte-order mark too).
std::string Utf16FileAsUtf8(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned cp = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            unsigned low = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

struct LanguageCase {
    int lang;
    bool chinese;
    const char* marker;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << "language " << c.lang; }

class StartLanguage : public WizardTest, public ::testing::WithParamInterface<LanguageCase> {};

}  // namespace

TEST_P(StartLanguage, TextsLicenceAndMarker) {
    const LanguageCase& c = GetParam();
    InitMachine(c.lang);
    ASSERT_FALSE(fs::exists(DriveC() / "Temp")) << "a fresh machine has no C:\\Temp";
    Transcript t = Replay("dump\nclick 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.dumps.size(), 1u);
    const Dump& d = t.dumps[0];
    EXPECT_EQ(t.lines.front(), "open 102");
    if (c.chinese) {
        EXPECT_EQ(d.self.text, "打印机驱动程序");
        EXPECT_EQ(d[1003].text, "<<上一步");
        EXPECT_EQ(d[2].text, "取消");
        EXPECT_EQ(d[3].text, "下一步>>");
        EXPECT_EQ(d[1001].text, "接受许可协议条款");
        EXPECT_EQ(d[1004].text, "默认打印机");
        EXPECT_EQ(d[1005].text, "76毫米纸宽");
        EXPECT_EQ(d[1006].text, "57毫米纸宽");
        EXPECT_EQ(d[1021].text, "流控制:");
        EXPECT_EQ(d[1016].text, "波特率:");
        EXPECT_EQ(d[1017].text, "校  验:");
        EXPECT_EQ(d[1018].text, "数据位:");
        EXPECT_EQ(d[1019].text, "停止位:");
        EXPECT_EQ(d[1015].text, "串口配置");
        EXPECT_EQ(d[1013].text, "端口选择:");
        EXPECT_EQ(d[1037].text, "如果打印机连接到USB端口，请打开打印机电源");
        EXPECT_EQ(d[1002].text, "软件许可协议");
    } else {
        EXPECT_EQ(d.self.text, "Printer Driver Setup");
        EXPECT_EQ(d[1003].text, "Last<<");
        EXPECT_EQ(d[2].text, "Cancel");
        EXPECT_EQ(d[3].text, "Next>>");
        EXPECT_EQ(d[1001].text, "I agree");
        EXPECT_EQ(d[1004].text, "Default");
        EXPECT_EQ(d[1005].text, "76mm Paper");
        EXPECT_EQ(d[1006].text, "57mm Paper");
        EXPECT_EQ(d[1021].text, "Flow control:");
        EXPECT_EQ(d[1016].text, "Baud:");
        EXPECT_EQ(d[1017].text, "Parity:");
        EXPECT_EQ(d[1018].text, "Databit:");
        EXPECT_EQ(d[1019].text, "Stopbit:");
        EXPECT_EQ(d[1015].text, "COM");
        EXPECT_EQ(d[1013].text, "Port:");
        EXPECT_EQ(d[1037].text, "If USB connected, please turn on the printer");
        EXPECT_EQ(d[1002].text, "Software lisence");
    }
    // The model names are the same in both languages; Add Port has no English text.
    EXPECT_EQ(d[1030].text, "QB410");
    EXPECT_EQ(d[1031].text, "QD530");
    EXPECT_EQ(d[1032].text, "KELV MR5A");
    EXPECT_EQ(d[1053].text, "KELV MR6A");
    EXPECT_EQ(d[1051].text, "添加端口");

    // The licence of the UI language, as stored: UTF-16 with its byte-order mark kept as
    // an invisible first character.
    std::string licence = Utf16FileAsUtf8(fs::path(DROVAN_BIN_DIR) / (c.chinese ? "ReadMe_cn.txt" : "ReadMe_en.txt"));
    ASSERT_FALSE(licence.empty());
    EXPECT_EQ(d[1000].text, licence);
    EXPECT_EQ(d[1000].text.rfind("\xEF\xBB\xBF", 0), 0u);

    // Serial defaults 9600, NONE, 8, 1, Hardware; the port list on LPT1:, serial lists off.
    EXPECT_EQ(d[1009].Selected(), "9600");
    EXPECT_EQ(d[1010].Selected(), "NONE");
    EXPECT_EQ(d[1011].Selected(), "8");
    EXPECT_EQ(d[1012].Selected(), "1");
    EXPECT_EQ(d[1020].Selected(), "Hardware");
    EXPECT_EQ(d[1008].Selected(), "LPT1:");
    for (int id : {1009, 1010, 1011, 1012, 1020}) EXPECT_FALSE(d[id].enabled) << id;

    EXPECT_TRUE(fs::is_directory(DriveC() / "Temp")) << "C:\\Temp is created";
    EXPECT_EQ(ReadHostFile(DriveC() / "Temp/garland.out"), std::optional<std::string>(c.marker));
    EXPECT_EQ(t.Find("end 102 2"), static_cast<int>(t.lines.size()) - 2);
}

INSTANTIATE_TEST_SUITE_P(Languages, StartLanguage,
                         ::testing::Values(LanguageCase{2052, true, "0"}, LanguageCase{1028, false, "2"},
                                           LanguageCase{1033, false, "1"}),
                         [](const auto& p) { return "Lang" + std::to_string(p.param.lang); });

TEST_F(WizardTest, PresentTempFolderIsKeptAndMarkerReplacedOnEveryStart) {
    fs::create_directories(DriveC() / "Temp");
    { std::ofstream(DriveC() / "Temp/keep.txt") << "someone else's"; }
    { std::ofstream(DriveC() / "Temp/garland.out") << "7 stale and longer"; }
    Transcript t = Replay("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(ReadHostFile(DriveC() / "Temp/garland.out"), std::optional<std::string>("1"));
    EXPECT_EQ(ReadHostFile(DriveC() / "Temp/keep.txt"), std::optional<std::string>("someone else's"));

    // The next start, in another language, replaces it again.
    InitMachine(2052);
    fs::create_directories(DriveC() / "Temp");
    { std::ofstream(DriveC() / "Temp/garland.out") << "1"; }
    t = Replay("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(ReadHostFile(DriveC() / "Temp/garland.out"), std::optional<std::string>("0"));
}

TEST_F(WizardTest, PlantedLinksAtTheMarkerAreLeftAlone) {
    // A symbolic link to another file: neither the link nor its target is touched.
    fs::create_directories(DriveC() / "Temp");
    fs::create_directories(DriveC() / "Users/Public");
    { std::ofstream(DriveC() / "Users/Public/victim.txt") << "precious"; }
    fs::create_symlink("../Users/Public/victim.txt", DriveC() / "Temp/garland.out");
    Transcript t = Replay("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_TRUE(fs::is_symlink(DriveC() / "Temp/garland.out"));
    EXPECT_EQ(ReadHostFile(DriveC() / "Users/Public/victim.txt"), std::optional<std::string>("precious"));

    // A dangling link creates no file where it points.
    fs::remove(DriveC() / "Temp/garland.out");
    fs::create_symlink("../Users/Public/planted.txt", DriveC() / "Temp/garland.out");
    t = Replay("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_FALSE(fs::exists(DriveC() / "Users/Public/planted.txt"));

    // A hard link with a second name: both names keep their content.
    fs::remove(DriveC() / "Temp/garland.out");
    fs::create_hard_link(DriveC() / "Users/Public/victim.txt", DriveC() / "Temp/garland.out");
    t = Replay("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_EQ(ReadHostFile(DriveC() / "Users/Public/victim.txt"), std::optional<std::string>("precious"));
    EXPECT_EQ(fs::hard_link_count(DriveC() / "Temp/garland.out"), 2u);
}

class MissingLicence : public WizardTest, public ::testing::WithParamInterface<int> {};

TEST_P(MissingLicence, StopBoxAndTheWizardStaysAtPageZero) {
    const bool chinese = GetParam() == 2052;
    InitMachine(GetParam());
    ReplayOptions o;
    o.cwd = MakeWorkDir(false);
    // The other language's file is there: only the UI language's counts.
    fs::copy_file(fs::path(DROVAN_BIN_DIR) / (chinese ? "ReadMe_en.txt" : "ReadMe_cn.txt"),
                  o.cwd / (chinese ? "ReadMe_en.txt" : "ReadMe_cn.txt"));
    Transcript t = Replay("dump\nclick 1001\nclick 3\nclick 1003\nclick 3\ndump\nclick 2\n", o);
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].owner, "102");
    EXPECT_EQ(t.msgboxes[0].icon, "error");
    EXPECT_EQ(t.msgboxes[0].text, chinese ? "ReadMe_cn.txt was not found." : "ReadMe_en.txt was not found.");
    EXPECT_LT(t.Find("msgbox"), t.Find("dump"));

    ASSERT_EQ(t.dumps.size(), 2u);
    for (const Dump& d : t.dumps) {
        // Nothing after the failed open ran: no serial selections, no ports, no model page.
        for (int id : {1009, 1010, 1011, 1012, 1020}) EXPECT_EQ(d[id].sel, -1) << id;
        EXPECT_TRUE(d[1008].items.empty());
        EXPECT_EQ(d[1002].text, chinese ? "软件许可协议" : "Software lisence");
        EXPECT_TRUE(d[1000].visible);
        EXPECT_EQ(d[1000].text, "");
    }
    // Next and Back did nothing: still the same page, whatever the check box says.
    const Dump& after = t.dumps[1];
    EXPECT_EQ(after[1001].checked, 1);
    EXPECT_EQ(after[1002].text, t.dumps[0][1002].text);
    EXPECT_EQ(after[1025].visible, false);
    EXPECT_FALSE(fs::exists(DriveC() / "Temp/garland.out"));
    EXPECT_TRUE(t.Has("end 102 2"));
    EXPECT_EQ(Printers().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Languages, MissingLicence, ::testing::Values(1033, 2052),
                         [](const auto& p) { return "Lang" + std::to_string(p.param); });

TEST_F(WizardTest, StartLogLinesInTheOrderOfConstruction) {
    Transcript t = ReplayWithLog("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    std::string appPath = "Z:" + std::string(DROVAN_BIN_DIR) + "/";
    for (char& ch : appPath)
        if (ch == '/') ch = '\\';
    const std::string getAppPath = "kwl at PrinterInfo GetAppPath() m_szAppPath=" + appPath;
    // g_printerInfo first (static construction), then the dialog's own record, then the
    // dialog's start line; all before the dialog opens.
    ASSERT_EQ(t.logs.size(), 3u) << t.errors;
    EXPECT_EQ(t.logs[0], getAppPath);
    EXPECT_EQ(t.logs[1], getAppPath);
    EXPECT_EQ(t.logs[2], "kwl at begin...");
    EXPECT_LT(t.Find("log \"kwl at begin...\""), t.Find("open 102"));
}

TEST_F(WizardTest, LogLinesStayOffUnlessAskedFor) {
    Transcript t = Replay("click 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_TRUE(t.logs.empty());
    EXPECT_FALSE(t.Has("log "));
}
