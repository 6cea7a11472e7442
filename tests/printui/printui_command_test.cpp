#include <gtest/gtest.h>

#include "platform/sim/shell_cmdline.h"
#include "platform/sim/text.h"
#include "printui_command.h"
#include "win32/errors.h"

using printui::Failure;

TEST(CommandLineRules, QuotesAndBackslashesFollowWindows) {
    using V = std::vector<std::u16string>;
    EXPECT_EQ(sim::SplitCommandLine(u"  a  b\tc ", false), (V{u"a", u"b", u"c"}));
    EXPECT_EQ(sim::SplitCommandLine(u"\"a b\" c\"d e\"f", false), (V{u"a b", u"cd ef"}));
    EXPECT_EQ(sim::SplitCommandLine(u"a\\\\b \"c\\\\\" d", false), (V{u"a\\\\b", u"c\\", u"d"}))
        << "backslashes are literal unless a quote follows";
    EXPECT_EQ(sim::SplitCommandLine(u"\"x\\\"y\" \\\\\\\"z", false), (V{u"x\"y", u"\\\"z"}));
    EXPECT_EQ(sim::SplitCommandLine(u"\"\" \"a\"\"b\"", false), (V{u"", u"a\"b"}));
    EXPECT_EQ(sim::SplitCommandLine(u"\"unterminated arg", false), (V{u"unterminated arg"}));
    EXPECT_EQ(sim::SplitCommandLine(u"\"C:\\Program Files\\a\\\" x", true),
              (V{u"C:\\Program Files\\a\\", u"x"}))
        << "the program name takes no backslash escapes";
    EXPECT_TRUE(sim::SplitCommandLine(u"   ", false).empty());

    for (std::u16string arg : {u"plain", u"with space", u"", u"q\"uote", u"trail\\", u"x\\\\\"y\\"}) {
        auto back = sim::SplitCommandLine(sim::QuoteArgument(arg), false);
        ASSERT_EQ(back.size(), 1u) << sim::ToUtf8(arg);
        EXPECT_EQ(back[0], arg);
    }
}

TEST(Rundll32Line, TheLibraryEntryAndRestAreSplitAsRundll32Does) {
    Failure failure;
    auto call = printui::ParseRundll32(
        u"\"C:\\Windows\\System32\\rundll32.exe\" PRINTUI.DLL,PrintUIEntry /if /n \"A B\" ", &failure);
    ASSERT_TRUE(call) << failure.message;
    EXPECT_EQ(call->library, u"PRINTUI.DLL");
    EXPECT_EQ(call->entry, u"PrintUIEntry");
    EXPECT_EQ(call->arguments, u"/if /n \"A B\" ");
    EXPECT_TRUE(printui::IsPrintUiEntry(*call, &failure));

    call = printui::ParseRundll32(u"rundll32 \"C:\\Windows\\system32\\printui.dll\",PrintUIEntry", &failure);
    ASSERT_TRUE(call);
    EXPECT_TRUE(printui::IsPrintUiEntry(*call, &failure));

    call = printui::ParseRundll32(u"rundll32 shell32.dll,Control_RunDLL", &failure);
    ASSERT_TRUE(call);
    EXPECT_FALSE(printui::IsPrintUiEntry(*call, &failure));
    EXPECT_EQ(failure.code, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    call = printui::ParseRundll32(u"rundll32 printui.dll,printuientry", &failure);
    ASSERT_TRUE(call);
    EXPECT_FALSE(printui::IsPrintUiEntry(*call, &failure)) << "entry points are case-sensitive";
    EXPECT_EQ(failure.code, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

    EXPECT_FALSE(printui::ParseRundll32(u"rundll32", &failure));
    EXPECT_FALSE(printui::ParseRundll32(u"rundll32 printui.dll", &failure));
    EXPECT_FALSE(printui::ParseRundll32(u"rundll32 printui.dll,", &failure));
}

TEST(PrintUiEntrySwitches, TheInstallCommandTakesItsValues) {
    Failure failure;
    auto cmd = printui::ParsePrintUiEntry(
        u"/if /n \"QB410 Printer\" /f \"C:\\Setup dir\\MR2A_x64.inf\" /r \"COM1:\" /m \"QB410 Printer\" ",
        &failure);
    ASSERT_TRUE(cmd) << failure.message;
    EXPECT_EQ(cmd->command, u"if");
    EXPECT_EQ(cmd->NewPrinterName(), u"QB410 Printer");
    EXPECT_EQ(*cmd->infPath, u"C:\\Setup dir\\MR2A_x64.inf");
    EXPECT_EQ(*cmd->port, u"COM1:");
    EXPECT_EQ(*cmd->model, u"QB410 Printer");
    EXPECT_FALSE(cmd->quiet);

    cmd = printui::ParsePrintUiEntry(u"/q /b\"Base\" /n Other /if /f x.inf /rLPT1: /m M", &failure);
    ASSERT_TRUE(cmd) << failure.message;
    EXPECT_TRUE(cmd->quiet);
    EXPECT_EQ(cmd->NewPrinterName(), u"Base") << "/b names the new printer when given";
    EXPECT_EQ(*cmd->port, u"LPT1:");
}

TEST(PrintUiEntrySwitches, UnknownOrIncompleteCommandsAreThePrintUisError) {
    const char16_t* bad[] = {
        u"",                                                  // no command
        u"/n A /f x.inf /r COM1: /m M",                       // no command
        u"/dl /n A",                                          // a command this print UI lacks
        u"/IF /n A /f x.inf /r COM1: /m M",                   // switches are case-sensitive
        u"/if /n A /f x.inf /r COM1: /m M /z",                // unknown switch
        u"/if /n A /f x.inf /r COM1: /m M stray",             // not a switch
        u"/if /n A /f x.inf /r COM1: /m",                     // value missing
        u"/if /n A /f x.inf /r COM1:",                        // no model
        u"/if /f x.inf /r COM1: /m M",                        // no name
        u"/if /n A /n B /f x.inf /r COM1: /m M",              // given twice
        u"/if /if /n A /f x.inf /r COM1: /m M",
        // A quote inside a value ends it and the rest becomes switches of its own.
        u"/if /n \"A\" /z\" /f x.inf /r COM1: /m M",
    };
    for (const char16_t* line : bad) {
        Failure failure;
        EXPECT_FALSE(printui::ParsePrintUiEntry(line, &failure)) << sim::ToUtf8(line);
        EXPECT_EQ(failure.code, static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << sim::ToUtf8(line);
        EXPECT_FALSE(failure.message.empty());
    }
}
