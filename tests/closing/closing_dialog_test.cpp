// The closing picture dialog as the user meets it: after a successful installation on
// COM1: the wizard ends and the picture opens; its web button asks the command
// interpreter for the maker's page and closes it, its close button only closes it, and a
// click anywhere else (the buttons' edges included) does nothing. After a failed
// installation no picture follows.
//
// The dialog is the template's size, 1052 x 668 pixels, and the picture (1054 x 679) is
// stretched over it: the buttons are where the picture paints them, the web button in
// columns 44-293 and rows 408-475, the close button in columns 993-1035 and rows 17-57.
#include <gtest/gtest.h>

#include "replay_run.h"

namespace {

const char kInstallOnCom1[] =
    "click 1001\n"
    "click 3\n"
    "click 3\n"
    "select 1008 \"COM1:\"\n"
    "click 3\n"
    "wait 30000\n";

const char kWebPageCommand[] = "C:\\Windows\\System32\\cmd.exe /c start explorer https://www.drovan.example/";

std::vector<MachineEvent> CommandEvents(const FreshMachineFolder& machine) {
    std::vector<MachineEvent> commands;
    for (const auto& e : machine.Events())
        if (e.source == "CRT") commands.push_back(e);
    return commands;
}

// The closing dialog opened after the wizard had ended on success, and ended itself.
void ExpectClosingDialogRan(const ReplayOutcome& r) {
    ASSERT_EQ(r.exitCode, 0) << r.All();
    EXPECT_TRUE(r.HasPrefix("msgbox owner=102 icon=information ")) << r.All();
    int wizardEnd = r.Find("end 102 2");
    int opened = r.Find("open 152", wizardEnd);
    ASSERT_GE(wizardEnd, 0) << r.All();
    ASSERT_GT(opened, wizardEnd) << r.All();
    EXPECT_GT(r.Find("end 152 2", opened), opened) << r.All();
    EXPECT_EQ(r.lines.back(), "exit 0") << r.All();
}

TEST(ClosingDialog, OpensAfterSuccessAsABorderlessPictureWithHiddenButtons) {
    FreshMachineFolder machine;
    ReplayOutcome r = machine.Play(std::string(kInstallOnCom1) + "dump\nkey escape\n");
    ExpectClosingDialogRan(r);
    EXPECT_TRUE(r.Has("dump 152")) << r.All();
    EXPECT_TRUE(r.Has("  1 button visible=0 enabled=1 checked=0 text=\"确定\"")) << r.All();
    EXPECT_TRUE(r.Has("  2 button visible=0 enabled=1 checked=0 text=\"取消\"")) << r.All();
    EXPECT_TRUE(CommandEvents(machine).empty());
}

TEST(ClosingDialog, WebButtonAsksForTheMakersPageAndCloses) {
    FreshMachineFolder machine;
    ReplayOutcome r = machine.Play(std::string(kInstallOnCom1) + "click-at 44 408\n");
    ExpectClosingDialogRan(r);
    auto commands = CommandEvents(machine);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].commandLine, kWebPageCommand);
    EXPECT_EQ(commands[0].level, "Information");
    // From the system folder, where no user could have left an explorer.exe of their own.
    EXPECT_NE(commands[0].message.find(" in C:\\Windows\\System32 "), std::string::npos)
        << commands[0].message;
}

TEST(ClosingDialog, WebButtonEdgesAreOutsideAndItsFarCornerInside) {
    FreshMachineFolder machine;
    ReplayOutcome r = machine.Play(std::string(kInstallOnCom1) +
                                   "click-at 43 420\n"
                                   "click-at 294 420\n"
                                   "click-at 44 407\n"
                                   "click-at 44 476\n"
                                   "click-at 294 476\n"
                                   "click-at 100 480\n"
                                   "dump\n"
                                   "click-at 293 475\n");
    ExpectClosingDialogRan(r);
    // Still open after the edge clicks: the dump came from the picture, and it ended after.
    int dumped = r.Find("dump 152");
    ASSERT_GE(dumped, 0) << r.All();
    EXPECT_GT(r.Find("end 152 2", dumped), dumped) << r.All();
    auto commands = CommandEvents(machine);
    ASSERT_EQ(commands.size(), 1u) << "only the click inside asks for the page";
    EXPECT_EQ(commands[0].commandLine, kWebPageCommand);
}

TEST(ClosingDialog, CloseButtonClosesWithoutStartingAnything) {
    FreshMachineFolder machine;
    ReplayOutcome r = machine.Play(std::string(kInstallOnCom1) + "click-at 993 57\n");
    ExpectClosingDialogRan(r);
    EXPECT_TRUE(CommandEvents(machine).empty());
}

TEST(ClosingDialog, ClicksElsewhereAndOnTheCloseButtonsEdgesDoNothing) {
    FreshMachineFolder machine;
    ReplayOutcome r = machine.Play(std::string(kInstallOnCom1) +
                                   "click-at 600 300\n"
                                   "click-at 0 0\n"
                                   "click-at 992 37\n"
                                   "click-at 1036 37\n"
                                   "click-at 1016 16\n"
                                   "click-at 1016 58\n"
                                   "click-at 169 500\n"
                                   "dump\n"
                                   "key escape\n");
    ExpectClosingDialogRan(r);
    int dumped = r.Find("dump 152");
    ASSERT_GE(dumped, 0) << r.All();
    EXPECT_GT(r.Find("end 152 2", dumped), dumped) << r.All();
    EXPECT_TRUE(CommandEvents(machine).empty());
}

TEST(ClosingDialog, WebButtonClosesEvenWhenTheCommandInterpreterCannotStart) {
    FreshMachineFolder machine;
    std::string out;
    ASSERT_EQ(machine.Tool("fault set _wsystem 2 --always", &out), 0) << out;
    ReplayOutcome r = machine.Play(std::string(kInstallOnCom1) + "click-at 100 450\n");
    ExpectClosingDialogRan(r);
    EXPECT_FALSE(r.HasPrefix("msgbox owner=152")) << "a failed start is not reported";
    EXPECT_TRUE(CommandEvents(machine).empty());
}

TEST(ClosingDialog, DoesNotOpenAfterAFailedInstallation) {
    FreshMachineFolder machine;
    std::string out;
    ASSERT_EQ(machine.Tool("fault set PrintUIEntry 1797 --once", &out), 0) << out;
    ReplayOutcome r = machine.Play(kInstallOnCom1);
    ASSERT_EQ(r.exitCode, 0) << r.All();
    EXPECT_TRUE(r.HasPrefix("msgbox owner=102 icon=error ")) << r.All();
    EXPECT_TRUE(r.Has("end 102 2")) << r.All();
    EXPECT_FALSE(r.Has("open 152")) << r.All();
    EXPECT_TRUE(CommandEvents(machine).empty());
}

}  // namespace
