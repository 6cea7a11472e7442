// The GPD checker passes the model descriptions we ship and fails each kind of fault a
// hand-edited GPD gets: the mutations below are made to a shipped file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "gpd_checker.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "the GPD has no \"" << from << "\" to change";
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(GpdChecker, PassesEveryShippedGpd) {
    int checked = 0;
    for (const char* name : {"mr2a.gpd", "mr3a.gpd", "mr5a.gpd", "mr6a.gpd"}) {
        std::string text = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / name);
        ASSERT_FALSE(text.empty()) << name;
        auto problems = gpd::Check(text, name);
        EXPECT_TRUE(problems.empty()) << name << ":\n" << gpd::Describe(problems);
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

TEST(GpdChecker, FailsOnTheFaultsOfBrokenFiles) {
    const std::string receipt = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / "mr2a.gpd");
    const std::string label = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / "mr5a.gpd");
    struct Case {
        const char* what;
        std::string text;
        const char* expected;  // part of a problem's message
    } cases[] = {
        {"misspelt keyword", Replaced(receipt, "*PrintableArea:", "*PrintableAera:"),
         "*PrintableAera is no GPD keyword"},
        {"keyword in the wrong case", Replaced(receipt, "*ModelName:", "*Modelname:"), "*Modelname is no GPD keyword"},
        {"misspelt command", Replaced(receipt, "CmdYMoveRelDown", "CmdYMoveRelDwn"), "CmdYMoveRelDwn is no GPD command"},
        {"brace never closed", Replaced(receipt, "    *Cmd: \"<1B40>\"\r\n}", "    *Cmd: \"<1B40>\"\r\n"),
         "is never closed"},
        {"brace closing nothing", receipt + "}\r\n", "a '}' that closes nothing"},
        {"brace opening nothing", Replaced(receipt, "*MaxCopies: 1\r\n", "*MaxCopies: 1\r\n{\r\n}\r\n"),
         "*MaxCopies takes no body"},
        {"default naming no option", Replaced(receipt, "*DefaultOption: Roll80x297", "*DefaultOption: Roll80x300"),
         "*DefaultOption Roll80x300 is no option of PaperSize"},
        {"required root entry missing", Replaced(receipt, "*MasterUnits: PAIR(203, 203)\r\n", ""),
         "*MasterUnits is missing"},
        {"feature the UI needs missing", Replaced(receipt, "*Feature: InputBin", "*Feature: InputTray"),
         "*Feature: InputBin is missing"},
        {"standard names not included", Replaced(receipt, "*Include: \"StdNames.gpd\"\r\n", ""),
         "does not *Include the system's standard names"},
        {"include of a file the system lacks", Replaced(receipt, "StdNames.gpd", "MyNames.gpd"),
         "none of the system's GPD files"},
        {"macro StdNames lacks", Replaced(receipt, "=PAPER_SIZE_DISPLAY", "=PAPER_SIZES_DISPLAY"),
         "=PAPER_SIZES_DISPLAY is no macro"},
        {"spec version not first", "*% a comment first\r\n" + receipt, "must be the file's first entry"},
        {"name of another file", Replaced(receipt, "*GPDFileName: \"mr2a.gpd\"", "*GPDFileName: \"mr3a.gpd\""),
         "is not the file's name"},
        {"printer type", Replaced(receipt, "*PrinterType: SERIAL", "*PrinterType: ROLL"), "PAGE, SERIAL or TTY"},
        {"half a hex byte", Replaced(receipt, "\"<1B40>\"", "\"<1B4>\""), "not a whole number of hex bytes"},
        {"unknown standard variable", Replaced(receipt, "max_repeat(DestYRel)", "max_repeat(DestYRell)"),
         "DestYRell is no standard variable"},
        {"unknown argument type", Replaced(receipt, "%l{RasterDataWidthInBytes}", "%w{RasterDataWidthInBytes}"),
         "unknown argument type"},
        {"job section that does not exist", Replaced(receipt, "JOB_SETUP.1", "JOB_START.1"), "is not SECTION.number"},
        {"configuration command without order", Replaced(receipt, "    *Order: JOB_SETUP.1\r\n", ""),
         "CmdStartJob needs an *Order"},
        {"cursor command with an order", Replaced(receipt, "*Command: CmdLF\r\n{\r\n", "*Command: CmdLF\r\n{\r\n    *Order: PAGE_SETUP.2\r\n"),
         "takes no *Order"},
        {"sequence number taken twice", Replaced(label, "*Order: PAGE_SETUP.3", "*Order: PAGE_SETUP.5"),
         "is taken by feature"},
        {"printable area off the page", Replaced(receipt, "*PrintableArea: PAIR(576, 2374)", "*PrintableArea: PAIR(640, 2374)"),
         "does not fit its page"},
        {"resolution beside the master units", Replaced(receipt, "*DPI: PAIR(203, 203)", "*DPI: PAIR(200, 200)"),
         "does not divide the master units"},
        {"general attribute in an option without EXTERN_GLOBAL",
         Replaced(receipt, "        *SpotDiameter: 100\r\n", "        *SpotDiameter: 100\r\n        *YMoveUnit: 203\r\n"),
         "after EXTERN_GLOBAL"},
        {"option without a name", Replaced(label, "        *Name: \"Light\"\r\n", ""), "has neither *Name nor *rcNameID"},
        {"quoted text left open", Replaced(receipt, "*ModelName: \"QB410 Printer\"", "*ModelName: \"QB410 Printer"),
         "not closed on its line"},
    };
    for (const auto& c : cases) {
        // The label printer's mutations keep its file name.
        bool isLabel = c.text.find("*GPDFileName: \"mr5a.gpd\"") != std::string::npos;
        auto problems = gpd::Check(c.text, isLabel ? "mr5a.gpd" : "mr2a.gpd");
        std::string described = gpd::Describe(problems);
        EXPECT_FALSE(problems.empty()) << c.what;
        EXPECT_NE(described.find(c.expected), std::string::npos) << c.what << ":\n" << described;
    }
}

TEST(GpdChecker, CommandsThatSendBytesMustBeExplained) {
    std::string text = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / "mr2a.gpd");
    // Drop the comment of the initialising command: the checker asks for it back.
    size_t from = text.find("    *% 1B 40 (ESC @)");
    size_t to = text.find("    *Cmd: \"<1B40>\"");
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    text.erase(from, to - from);
    std::string described = gpd::Describe(gpd::Check(text, "mr2a.gpd"));
    EXPECT_NE(described.find("CmdStartJob sends bytes without a \"*%\" comment"), std::string::npos) << described;
    // A command that sends nothing needs no comment.
    text = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / "mr2a.gpd");
    from = text.find("    *% No bytes: raster lines");
    to = text.find("    *Cmd: \"\"", from);
    ASSERT_NE(from, std::string::npos);
    text.erase(from, to - from);
    EXPECT_TRUE(gpd::Check(text, "mr2a.gpd").empty());
}
