// The dialog manager's rules on the model, in process: Escape and the close box ignored while
// Cancel is disabled (with a beep), and the keyboard focus: where it starts, Tab and
// Shift+Tab through the tab stops, the arrows within a group, a click, and its moving on
// from a control that is disabled or hidden.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/afx.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog_manager.h"
#include "platform/ui/headless/headless_backend.h"
#include "res/test/test_dialogs.h"

using namespace drovan::ui;

namespace {

class DialogManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(&backend);
        SetGuiThreadToCurrent();
        dlg = BuildDialog(*drovan::res::FindDialogTemplate(IDD_TEST_MAIN), nullptr);
        wrapper.SubclassWindow(dlg->hwnd);
    }
    void TearDown() override {
        Unregister(dlg.get());
        SetBackend(nullptr);
    }
    Window& C(int id) { return *dlg->Child(id); }
    int Focus() {
        Window* f = FocusOf(*dlg);
        return f ? f->id : -1;
    }
    // The IDs the focus visits with `n` presses of Tab (or Shift+Tab).
    std::vector<int> Tabs(int n, bool forward = true) {
        std::vector<int> seen;
        for (int i = 0; i < n; ++i) {
            UserKeyTab(*dlg, forward);
            seen.push_back(Focus());
        }
        return seen;
    }

    std::vector<std::string> lines;
    headless::Transcript transcript{[this](const std::string& l) { lines.push_back(l); }};
    headless::HeadlessBackend backend{transcript};
    std::unique_ptr<Window> dlg;
    CDialog wrapper;
};

TEST_F(DialogManagerTest, EscapeAndTheCloseBoxAreIgnoredWhileCancelIsDisabled) {
    EXPECT_EQ(CancelIgnoredBecause(*dlg), nullptr);
    EXPECT_EQ(CloseIgnoredBecause(*dlg), nullptr);
    EnableWindowModel(C(IDCANCEL), FALSE);
    EXPECT_STREQ(CancelIgnoredBecause(*dlg), "Cancel disabled");
    EXPECT_STREQ(CloseIgnoredBecause(*dlg), "Cancel disabled");
    int beeps = backend.Beeps();
    UserKeyEscape(*dlg);
    UserClose(*dlg);
    MSG m;
    EXPECT_FALSE(backend.Peek(m, nullptr, 0, 0, PM_NOREMOVE)) << "the close box posts nothing";
    EXPECT_FALSE(dlg->ended);
    EXPECT_EQ(backend.Beeps(), beeps + 2);
    // The window menu's reasons come first: a greyed Close, no window menu at all.
    dlg->closeGrayed = true;
    EXPECT_STREQ(CloseIgnoredBecause(*dlg), "close box disabled");
    dlg->style &= ~static_cast<DWORD>(WS_SYSMENU);
    EXPECT_STREQ(CloseIgnoredBecause(*dlg), "no close box");
    EnableWindowModel(C(IDCANCEL), TRUE);
    UserKeyEscape(*dlg);
    EXPECT_TRUE(dlg->ended);
    EXPECT_EQ(dlg->endCode, IDCANCEL);
}

TEST_F(DialogManagerTest, TabAndShiftTabVisitTheUsableTabStopsRoundTheDialog) {
    SetInitialFocus(*dlg);
    EXPECT_EQ(Focus(), IDC_RADIO_A);
    // Radio B and D are no tab stops, the Disabled button is disabled, texts take no focus.
    EXPECT_EQ(Tabs(8), (std::vector<int>{IDC_CHECK, IDC_SORTED, IDC_BAUD, IDC_ADDRESS, IDC_EDIT, IDOK, IDCANCEL,
                                         IDC_RADIO_A}));
    EXPECT_EQ(Tabs(2, false), (std::vector<int>{IDCANCEL, IDOK}));
    // A click on a button gives it the focus, tab stop or not; Tab goes on from there.
    Send(C(IDC_RADIO_E), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    Send(C(IDC_RADIO_E), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Focus(), IDC_RADIO_E);
    EXPECT_EQ(Tabs(1), (std::vector<int>{IDC_CHECK}));
    Send(C(IDC_FRAME), WM_LBUTTONDOWN, MK_LBUTTON, 0);  // a group box takes no focus
    EXPECT_EQ(Focus(), IDC_CHECK);
}

TEST_F(DialogManagerTest, ARadioButtonIsATabStopWhileItIsChecked) {
    auto tabStop = [&](int id) { return (C(id).style & WS_TABSTOP) != 0; };
    EXPECT_TRUE(tabStop(IDC_RADIO_A));  // the template's, until a check state is set
    Send(C(IDC_RADIO_B), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(tabStop(IDC_RADIO_B));
    UserClicked(C(IDC_RADIO_A));  // the group's others are unchecked, and so lose it
    EXPECT_TRUE(tabStop(IDC_RADIO_A));
    EXPECT_FALSE(tabStop(IDC_RADIO_B));
    SetFocusModel(*dlg, &C(IDOK));
    EXPECT_EQ(Tabs(2), (std::vector<int>{IDCANCEL, IDC_RADIO_A}));
    UserClicked(C(IDC_RADIO_B));
    SetFocusModel(*dlg, &C(IDCANCEL));
    EXPECT_EQ(Tabs(2), (std::vector<int>{IDC_RADIO_B, IDC_CHECK})) << "Tab reaches the group on its checked button";
    Send(C(IDC_CHECK), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_TRUE(tabStop(IDC_CHECK)) << "a check box keeps its own";
}

TEST_F(DialogManagerTest, TheFocusMovesOnFromAControlThatIsDisabledOrHidden) {
    SetFocusModel(*dlg, &C(IDC_EDIT));
    EnableWindowModel(C(IDC_EDIT), FALSE);
    EXPECT_EQ(Focus(), IDOK);
    ShowWindowModel(C(IDOK), SW_HIDE);
    EXPECT_EQ(Focus(), IDCANCEL);
    EnableWindowModel(C(IDCANCEL), FALSE);
    EXPECT_EQ(Focus(), IDC_RADIO_A) << "round the dialog";
    // Another control disabled or shown again does not move it.
    EnableWindowModel(C(IDC_CHECK), FALSE);
    ShowWindowModel(C(IDOK), SW_SHOW);
    EXPECT_EQ(Focus(), IDC_RADIO_A);
    // A page whose tab stops are all gone: every control that can take the focus is one,
    // so that the keyboard is not stuck (Radio B is the first, then D, E...).
    for (int id : {int{IDC_RADIO_A}, int{IDC_SORTED}, int{IDC_BAUD}, int{IDC_ADDRESS}, int{IDC_EDIT}, IDOK})
        ShowWindowModel(C(id), SW_HIDE);
    EXPECT_EQ(Focus(), IDC_RADIO_B);
    EXPECT_EQ(Tabs(3), (std::vector<int>{IDC_RADIO_D, IDC_RADIO_E, IDC_START_TIMER}));
    EXPECT_EQ(Tabs(1, false), (std::vector<int>{IDC_RADIO_E}));
    // Nothing left that can take it: none.
    for (auto& c : dlg->children) EnableWindowModel(*c, FALSE);
    EXPECT_EQ(Focus(), -1);
    UserKeyTab(*dlg, true);
    EXPECT_EQ(Focus(), -1);
}

TEST_F(DialogManagerTest, ArrowsWalkTheGroupAndCheckTheAutoRadioButtonsTheyReach) {
    SetFocusModel(*dlg, &C(IDC_RADIO_A));
    EXPECT_TRUE(UserKeyArrow(C(IDC_RADIO_A), true));
    EXPECT_EQ(Focus(), IDC_RADIO_B);
    EXPECT_EQ(C(IDC_RADIO_B).check, BST_CHECKED);
    // C is hidden and D starts the next group: B wraps round to A.
    EXPECT_TRUE(UserKeyArrow(C(IDC_RADIO_B), true));
    EXPECT_EQ(Focus(), IDC_RADIO_A);
    EXPECT_EQ(C(IDC_RADIO_A).check, BST_CHECKED);
    EXPECT_EQ(C(IDC_RADIO_B).check, BST_UNCHECKED);
    EXPECT_EQ(C(IDC_RADIO_D).check, BST_UNCHECKED);
    EXPECT_TRUE(UserKeyArrow(C(IDC_RADIO_D), false));
    EXPECT_EQ(Focus(), IDC_RADIO_E);
    EXPECT_EQ(C(IDC_RADIO_A).check, BST_CHECKED) << "another group";
    // The check box's group runs on to the end of the template: the next control that takes
    // the focus is the list, and nothing is checked on the way. An edit keeps its arrows.
    SetFocusModel(*dlg, &C(IDC_CHECK));
    EXPECT_TRUE(UserKeyArrow(C(IDC_CHECK), true));
    EXPECT_EQ(Focus(), IDC_SORTED);
    EXPECT_EQ(C(IDC_CHECK).check, BST_UNCHECKED);
    EXPECT_FALSE(UserKeyArrow(C(IDC_EDIT), true));
    // Alone in its group, a button keeps the focus.
    for (auto& c : dlg->children)
        if (c->id != IDC_RADIO_D) EnableWindowModel(*c, FALSE);
    SetFocusModel(*dlg, &C(IDC_RADIO_D));
    EXPECT_TRUE(UserKeyArrow(C(IDC_RADIO_D), true));
    EXPECT_EQ(Focus(), IDC_RADIO_D);
}

}  // namespace
