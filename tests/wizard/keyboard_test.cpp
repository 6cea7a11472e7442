// The wizard under the keyboard, as the dialog manager treats it: Escape and the close box
// do nothing while an installation runs (its Cancel is disabled), and the focus is never
// left on a control that cannot take it: after Back to the licence page it is on one that
// can, and Tab and Shift+Tab move it; on the model page Tab walks the models' tab stops.
#include "wizard_fixture.h"

namespace {

constexpr int kCancel = 2, kNext = 3, kLicence = 1000, kBack = 1003, kProgress = 1025, kModel1 = 1030, kModel2 = 1031;

// The IDs of the transcript's `focus` lines, in order.
std::vector<int> FocusLines(const Transcript& t) {
    std::vector<int> ids;
    for (const auto& line : t.lines)
        if (line.rfind("focus ", 0) == 0) ids.push_back(std::stoi(line.substr(6)));
    return ids;
}

}  // namespace

TEST_F(WizardTest, EscapeAndTheCloseBoxDoNothingWhileTheInstallationRuns) {
    InitMachine(1033);
    Transcript t = Replay(std::string(kToPortPage) + "select 1008 \"COM1:\"\nclick 3\nkey escape\nclose\ndump\n" +
                          kSuccessEnd);
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    EXPECT_TRUE(t.Has("ignored key escape: Cancel disabled"));
    // The wizard greys its window menu's Close as well while it installs.
    EXPECT_TRUE(t.Has("ignored close: close box disabled"));
    EXPECT_FALSE(t.dumps.empty() || t.dumps[0].self.closebox);
    ASSERT_EQ(t.dumps.size(), 1u);
    EXPECT_EQ(t.dumps[0].dialog, 102);
    EXPECT_TRUE(t.dumps[0][kProgress].visible) << "the progress view";
    EXPECT_FALSE(t.dumps[0][kCancel].enabled);
    // The installation ran to its end, and only then did the wizard end.
    ASSERT_EQ(t.msgboxes.size(), 1u);
    EXPECT_EQ(t.msgboxes[0].text, "Printer driver installation success!");
    EXPECT_EQ(t.Count("end 102"), 1);
    EXPECT_GT(t.Find("end 102"), t.Find("msgbox"));
    EXPECT_EQ(Printers().size(), 1u);
}

TEST_F(WizardTest, AfterBackToTheLicenceTheFocusIsOnAControlThatTakesItAndTabMovesIt) {
    InitMachine(1033);
    Transcript t = Replay(
        "focus\nclick 1001\nclick 3\nfocus\nkey tab\nfocus\nkey tab\nfocus\n"  // licence, then the model page
        "click 1003\nfocus\ndump\nkey tab\nfocus\nkey shift+tab\nfocus\nkey tab\nkey tab\nfocus\nclick 2\n");
    ASSERT_EQ(t.exitCode, 0) << t.errors;
    std::vector<int> focus = FocusLines(t);
    ASSERT_EQ(focus.size(), 8u) << t.errors;
    // The licence page has no tab stop that shows: its first control that takes the focus.
    EXPECT_EQ(focus[0], kCancel);
    // Next keeps the focus it took from the click; the models are the model page's tab stops.
    EXPECT_EQ(focus[1], kNext);
    EXPECT_EQ(focus[2], kModel1);
    EXPECT_EQ(focus[3], kModel2);
    // Back, clicked, is disabled on the licence page: the focus has moved on.
    ASSERT_EQ(t.dumps.size(), 1u);
    const ControlState& after = t.dumps[0][focus[4]];
    EXPECT_NE(focus[4], kBack);
    EXPECT_TRUE(after.visible && after.enabled) << focus[4];
    EXPECT_TRUE(after.kind == "button" || after.kind == "edit" || after.kind == "combobox") << after.kind;
    EXPECT_FALSE(t.dumps[0][kBack].enabled);
    // Tab and Shift+Tab move it among the page's controls: Cancel, Next, the licence text.
    EXPECT_EQ(focus[4], kCancel);
    EXPECT_EQ(focus[5], kNext);
    EXPECT_EQ(focus[6], kCancel);
    EXPECT_EQ(focus[7], kLicence);
}
