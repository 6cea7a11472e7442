// drovan-replay end to end, on the test application: transcripts, timers on the driven
// clock, a worker's message box, nested modals, the file exception, script errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ui/headless/script.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exitCode = -1;
    std::vector<std::string> lines;
    std::string err;
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    bool HasPrefix(const std::string& prefix) const {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    std::string All() const {
        std::string s;
        for (auto& l : lines) s += l + "\n";
        return s + "stderr: " + err;
    }
};

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("drovan-replay-" + std::to_string(rd()));
        fs::create_directories(dir / "machine");
    }
    void TearDown() override { fs::remove_all(dir); }

    void WriteLicence(const std::u16string& text) {
        std::ofstream f(dir / "test-licence.txt", std::ios::binary);
        for (char16_t c : text) f.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
    }

    Outcome Play(const std::string& script) {
        { std::ofstream(dir / "script.txt") << script; }
        std::string cmd = "cd '" + dir.string() + "' && '" DROVAN_REPLAY_TEST "' --machine '" + (dir / "machine").string() +
                          "' script.txt 2>stderr.txt";
        Outcome r;
        FILE* p = popen(cmd.c_str(), "r");
        char buf[4096];
        std::string out;
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        int status = pclose(p);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);) r.lines.push_back(l);
        std::ifstream e(dir / "stderr.txt");
        r.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
        return r;
    }

    fs::path dir;
};

TEST_F(ReplayTest, MissingFileInOnInitDialogIsReportedAndTheDialogOpens) {
    Outcome r = Play("dump\nkey escape\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    ASSERT_GE(r.lines.size(), 3u) << r.All();
    EXPECT_EQ(r.lines[0], "open 900");
    EXPECT_EQ(r.lines[1],
              "msgbox owner=900 icon=error caption=\"Drovan Test\" text=\"test-licence.txt was not found.\" -> OK (default)");
    // Initialisation stopped at the exception: lists filled before it, the label not set.
    EXPECT_TRUE(r.Has("  1020 combobox visible=1 enabled=1 sel=4 items=[\"COM1:\",\"COM10:\",\"com2:\",\"FILE:\",\"LPT1:\"]"))
        << r.All();
    EXPECT_TRUE(r.Has("  1021 combobox visible=1 enabled=1 sel=-1 items=[\"1200\",\"2400\",\"9600\"]")) << r.All();
    EXPECT_TRUE(r.Has("  1060 static visible=1 enabled=1 text=\"Label\"")) << r.All();
    EXPECT_TRUE(r.Has("end 900 2")) << r.All();
    EXPECT_EQ(r.lines.back(), "exit 0");
}

TEST_F(ReplayTest, LicenceTextIsReadAndUserActionsReachTheHandlers) {
    WriteLicence(u"Hello \u4e16\u754c");
    Outcome r = Play(
        "click 1001\nclick 1002\nclick 1070\nclick 1003\nselect 1020 \"COM10:\"\n"
        "type 1050 \"abc\"\nclick 1130\ndump\nclose\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    EXPECT_FALSE(r.HasPrefix("msgbox")) << r.All();
    EXPECT_TRUE(r.Has("ignored click 1070: disabled")) << r.All();
    EXPECT_TRUE(r.Has("ignored click 1003: hidden")) << r.All();
    EXPECT_TRUE(r.Has("ignored click 1130: not a button")) << r.All();
    EXPECT_TRUE(r.Has("  1001 button visible=1 enabled=1 checked=0 text=\"A\"")) << r.All();
    EXPECT_TRUE(r.Has("  1002 button visible=1 enabled=1 checked=1 text=\"B\"")) << r.All();
    EXPECT_TRUE(r.Has("  1050 edit visible=1 enabled=1 text=\"abc\"")) << r.All();
    EXPECT_TRUE(r.Has("  1060 static visible=1 enabled=1 text=\"typed abc\"")) << r.All();
    EXPECT_TRUE(r.Has("  1040 ipaddress visible=1 enabled=1 text=\"192.168.1.1\"")) << r.All();
    EXPECT_TRUE(r.HasPrefix("  1020 combobox visible=1 enabled=1 sel=1 ")) << r.All();
    EXPECT_TRUE(r.Has("end 900 2")) << r.All();
}

TEST_F(ReplayTest, TimersTickOnTheDrivenClockAndTheProgressBarWraps) {
    WriteLicence(u"x");
    Outcome r = Play("click 1080\nwait 1000\ndump\nwait 1000\ndump\nkey escape\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    // Range 0..10, step 2: five ticks fill the bar, the sixth starts it over.
    EXPECT_TRUE(r.Has("  1030 progress visible=1 enabled=1 range=0..10 pos=10 step=2")) << r.All();
    EXPECT_TRUE(r.HasPrefix("  1060 static visible=1 enabled=1 text=\"tick 5 at ")) << r.All();
    EXPECT_TRUE(r.Has("  1030 progress visible=1 enabled=1 range=0..10 pos=4 step=2")) << r.All();
    EXPECT_TRUE(r.HasPrefix("  1060 static visible=1 enabled=1 text=\"tick 8 at ")) << r.All();
}

TEST_F(ReplayTest, WorkerMessageBoxTakesTheQueuedAnswerOrItsDefault) {
    WriteLicence(u"x");
    Outcome r = Play("answer NO\nclick 1090\nwait 1000\ndump\nclick 1090\nwait 1000\ndump\nkey escape\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    EXPECT_TRUE(r.Has("msgbox owner=none icon=question caption=\"Worker\" text=\"Go on?\" -> NO")) << r.All();
    EXPECT_TRUE(r.Has("  1060 static visible=1 enabled=1 text=\"worker answered 7\"")) << r.All();
    EXPECT_TRUE(r.Has("msgbox owner=none icon=question caption=\"Worker\" text=\"Go on?\" -> YES (default)")) << r.All();
    EXPECT_TRUE(r.Has("  1060 static visible=1 enabled=1 text=\"worker answered 6\"")) << r.All();
}

TEST_F(ReplayTest, NestedModalsAndADialogRunAfterEndDialog) {
    WriteLicence(u"x");
    Outcome r = Play("click 1100\ndump\nkey enter\ndump\nclick 1110\nclick-at 20 20\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    std::vector<std::string> events;
    for (auto& l : r.lines)
        if (l.rfind("open", 0) == 0 || l.rfind("end", 0) == 0 || l.rfind("exit", 0) == 0) events.push_back(l);
    EXPECT_EQ(events, (std::vector<std::string>{"open 900", "open 901", "end 901 1", "end 900 7", "open 902", "end 902 2", "exit 0"}))
        << r.All();
    EXPECT_TRUE(r.Has("dump 901")) << r.All();
    EXPECT_TRUE(r.Has("  1060 static visible=1 enabled=1 text=\"nested returned 1\"")) << r.All();
}

TEST_F(ReplayTest, FileExceptionLeavingAHandler) {
    WriteLicence(u"x");
    Outcome r = Play("click 1120\nclick 1001\ndump\nkey escape\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    EXPECT_TRUE(r.Has("msgbox owner=900 icon=error caption=\"Drovan Test\" text=\"not-here.txt was not found.\" -> OK (default)"))
        << r.All();
    EXPECT_TRUE(r.Has("  1060 static visible=1 enabled=1 text=\"radio clicked\"")) << r.All();
}

TEST_F(ReplayTest, FocusStartsOnTheFirstTabStopAndFollowsTabClicksAndTyping) {
    WriteLicence(u"x");
    Outcome r = Play("focus\nkey tab\nfocus\nkey shift+tab\nkey shift+tab\nfocus\nclick 1002\nfocus\n"
                     "type 1050 \"abc\"\nfocus\nkey tab\nfocus\nkey escape\n");
    EXPECT_EQ(r.exitCode, 0) << r.All();
    std::vector<std::string> focus;
    for (auto& l : r.lines)
        if (l.rfind("focus ", 0) == 0) focus.push_back(l);
    // Radio A, the check box, back round past Radio A to Cancel; Radio B clicked, the edit
    // typed into, and Tab from there to OK.
    EXPECT_EQ(focus, (std::vector<std::string>{"focus 1001", "focus 1010", "focus 2", "focus 1002", "focus 1050",
                                               "focus 1"}))
        << r.All();
    EXPECT_TRUE(r.Has("end 900 2")) << r.All();

    Outcome badKey = Play("key space\n");
    EXPECT_EQ(badKey.exitCode, 2);
    EXPECT_NE(badKey.err.find(":1: unknown key: space (escape, enter, tab or shift+tab)"), std::string::npos)
        << badKey.err;
}

TEST_F(ReplayTest, ScriptErrorsNameTheLineAndExitWithTwo) {
    Outcome unknown = Play("# comment\n\nfrobnicate 3\n");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("script.txt:3: unknown command: frobnicate"), std::string::npos) << unknown.err;
    EXPECT_FALSE(unknown.HasPrefix("open")) << "a bad script does not start the program";

    Outcome badId = Play("dump\nclick 4242\n");
    EXPECT_EQ(badId.exitCode, 2) << badId.All();
    EXPECT_NE(badId.err.find(":2: control 4242 is not in dialog 900"), std::string::npos) << badId.err;
    EXPECT_EQ(badId.lines.back(), "exit 2");

    Outcome never = Play("wait-close 2000\n");
    EXPECT_EQ(never.exitCode, 2) << never.All();
    EXPECT_NE(never.err.find(":1: dialog 900 did not close within 2000 ms"), std::string::npos) << never.err;

    Outcome open = Play("dump\n");
    EXPECT_EQ(open.exitCode, 2) << open.All();
    EXPECT_NE(open.err.find("still open"), std::string::npos) << open.err;

    Outcome badAnswer = Play("answer PERHAPS\n");
    EXPECT_EQ(badAnswer.exitCode, 2);
    EXPECT_NE(badAnswer.err.find(":1: unknown message-box button"), std::string::npos) << badAnswer.err;
}

// Bad input in a script is refused whole, with its line, before the program starts: a
// script that would fail on line 40 must not have done lines 1 to 39 to the machine.
TEST_F(ReplayTest, BadScriptsAreRefusedBeforeTheProgramStarts) {
    struct Case {
        std::string script;
        std::string says;
    };
    const Case cases[] = {
        {"type 1001 \"\\uZZZZ\"\n", "script.txt:1: \\u needs four hex digits in a string"},
        {"type 1001 \"\\u12\"\n", "script.txt:1: \\u needs four hex digits in a string"},
        {"dump\ntype 1001 \"a\\uD800\"\n", "script.txt:2: a lone high surrogate \\uD800 in a string"},
        {"type 1001 \"\\uD83D\\u0041\"\n", "script.txt:1: a lone high surrogate \\uD83D"},
        {"type 1001 \"\\uDE00\"\n", "script.txt:1: a lone low surrogate \\uDE00 in a string"},
        {"type 1001 \"\\u0000\"\n", "script.txt:1: \\u0000 in a string"},
        {"dump\ndump\n# caf\xC3\n", "script.txt:3: the line is not valid UTF-8"},
        {"type 1001 \"\xED\xA0\x80\"\n", "script.txt:1: the line is not valid UTF-8"},
        {"wait 99999999999999999999\n", "script.txt:1: not a number of milliseconds: 99999999999999999999"},
        {"wait 600001\n", "script.txt:1: a wait of 600001 ms is longer than the longest a script may wait, 600000 ms"},
        {"wait-close 0x7fffffffffffffff\n", "script.txt:1: a wait of 0x7fffffffffffffff ms is longer"},
    };
    for (const Case& c : cases) {
        Outcome r = Play(c.script);
        EXPECT_EQ(r.exitCode, 2) << c.script << r.All();
        EXPECT_EQ(r.err.rfind(c.says, 0), 0u) << c.script << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_FALSE(r.HasPrefix("open")) << "the program did not start: " << r.All();
    }

    // A folder named as the script is not an empty script.
    std::string cmd = "'" DROVAN_REPLAY_TEST "' --machine '" + (dir / "machine").string() + "' '" + dir.string() + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[512];
    std::string out;
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << out;
    EXPECT_EQ(out, "drovan-replay: " + dir.string() + " is a folder, not a script file\n");
}

// What the escapes and the text around them become, read without running anything.
TEST(ReplayScript, EscapesAndByteOrderMark) {
    struct Case {
        std::string script;
        std::string text;  // UTF-8 of the typed text
    };
    const Case cases[] = {
        {"type 1 \"\\u00e9\\u4E2D\"", "\xC3\xA9\xE4\xB8\xAD"},
        {"type 1 \"\\uD83D\\uDE00!\"", "\xF0\x9F\x98\x80!"},
        {"\xEF\xBB\xBFtype 1 \"\xE2\x82\xAC\"", "\xE2\x82\xAC"},  // a byte-order mark before the first line
        {"type 1 \"tab\\there\\\\\"", "tab\there\\"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.script + "\n");
        auto parsed = drovan::ui::headless::ParseScript(in);
        auto* commands = std::get_if<std::vector<drovan::ui::headless::Command>>(&parsed);
        ASSERT_NE(commands, nullptr) << c.script << ": " << std::get<drovan::ui::headless::ScriptError>(parsed).message;
        ASSERT_EQ(commands->size(), 1u);
        EXPECT_EQ(commands->front().text, c.text) << c.script;
    }
    std::istringstream longest("wait 600000\nwait-close 600000\n");
    EXPECT_TRUE(std::holds_alternative<std::vector<drovan::ui::headless::Command>>(drovan::ui::headless::ParseScript(longest)));
}

}  // namespace
