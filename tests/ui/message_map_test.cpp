// Message maps: first match wins, chained to the base class, unmapped messages to the
// default behaviour; a framework exception leaving a handler is reported and contained.
#include <gtest/gtest.h>

#include "platform/ui/afx.h"
#include "platform/ui/backend.h"
#include "platform/ui/headless/headless_backend.h"
#include "res/test/test_dialogs.h"

using namespace drovan::ui;

namespace {

CWinApp g_mapTestApp(TEXT("Map Test"));

class CBaseDlg : public CDialog {
public:
    CBaseDlg() : CDialog(IDD_TEST_MAIN) {}
    std::vector<std::string> log;

protected:
    afx_msg void OnA() { log.push_back("base A"); }
    afx_msg void OnB() { log.push_back("base B"); }
    afx_msg void OnTimer(UINT_PTR id) { log.push_back("base timer " + std::to_string(id)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDlg, CDialog)
    ON_BN_CLICKED(IDC_RADIO_A, &CBaseDlg::OnA)
    ON_BN_CLICKED(IDC_RADIO_B, &CBaseDlg::OnB)
    ON_WM_TIMER()
END_MESSAGE_MAP()

class CDerivedDlg : public CBaseDlg {
protected:
    afx_msg void OnFirstA() { log.push_back("derived A"); }
    afx_msg void OnSecondA() { log.push_back("derived A again"); }
    afx_msg void OnRange(UINT id) { log.push_back("range " + std::to_string(id)); }
    afx_msg void OnOpen() {
        CFile f(TEXT("no-such-file.txt"), CFile::modeRead);
        log.push_back("not reached");
    }
    afx_msg LRESULT OnUser(WPARAM w, LPARAM) { return static_cast<LRESULT>(w * 2); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedDlg, CBaseDlg)
    ON_BN_CLICKED(IDC_RADIO_A, &CDerivedDlg::OnFirstA)
    ON_BN_CLICKED(IDC_RADIO_A, &CDerivedDlg::OnSecondA)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_RADIO_D, IDC_RADIO_E, &CDerivedDlg::OnRange)
    ON_BN_CLICKED(IDC_THROW, &CDerivedDlg::OnOpen)
    ON_MESSAGE(WM_USER + 7, &CDerivedDlg::OnUser)
END_MESSAGE_MAP()

class MessageMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(&backend);
        SetGuiThreadToCurrent();
        window = BuildDialog(*drovan::res::FindDialogTemplate(IDD_TEST_MAIN), nullptr);
        dlg.SubclassWindow(window->hwnd);
    }
    void TearDown() override {
        Unregister(window.get());
        SetBackend(nullptr);
    }
    void Click(int id) { UserClicked(*window->Child(id)); }

    std::vector<std::string> lines;
    headless::Transcript transcript{[this](const std::string& l) { lines.push_back(l); }};
    headless::HeadlessBackend backend{transcript};
    std::unique_ptr<Window> window;
    CDerivedDlg dlg;
};

TEST_F(MessageMapTest, FirstMatchWinsAndBaseEntriesStillApply) {
    Click(IDC_RADIO_A);
    Click(IDC_RADIO_B);
    Click(IDC_RADIO_E);
    EXPECT_EQ(dlg.log, (std::vector<std::string>{"derived A", "base B", "range 1005"}));
    Send(*window, WM_TIMER, 3, 0);
    EXPECT_EQ(dlg.log.back(), "base timer 3");
    EXPECT_EQ(dlg.SendMessage(WM_USER + 7, 21), 42);
}

TEST_F(MessageMapTest, UnmappedMessagesReachTheDefaultBehaviour) {
    Click(IDC_CHECK);  // no entry: nothing logged, the check box still toggles
    EXPECT_TRUE(dlg.log.empty());
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_CHECK), static_cast<UINT>(BST_CHECKED));
    dlg.SetWindowText(TEXT("Renamed"));  // WM_SETTEXT through the map to the window
    CString caption;
    dlg.GetWindowText(caption);
    EXPECT_EQ(caption, TEXT("Renamed"));
    Click(IDCANCEL);  // CDialog's own map: OnCancel ends the dialog
    EXPECT_TRUE(window->ended);
    EXPECT_EQ(window->endCode, IDCANCEL);
    EXPECT_EQ(lines.back(), "end 900 2");
}

TEST_F(MessageMapTest, FileExceptionLeavingAHandlerIsReportedAndTheDialogGoesOn) {
    Click(IDC_THROW);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "msgbox owner=none icon=error caption=\"Map Test\" text=\"no-such-file.txt was not found.\" -> OK (default)");
    EXPECT_TRUE(dlg.log.empty());
    EXPECT_FALSE(window->ended);
    Click(IDC_RADIO_B);
    EXPECT_EQ(dlg.log.back(), "base B");
}

TEST_F(MessageMapTest, CloseBoxActsAsCancelUnlessGreyedOrCancelDisabled) {
    dlg.GetSystemMenu(FALSE)->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    UserClose(*window);
    EXPECT_FALSE(window->ended);
    dlg.GetSystemMenu(FALSE)->EnableMenuItem(SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    dlg.GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
    UserClose(*window);
    MSG m;
    EXPECT_FALSE(backend.Peek(m, nullptr, 0, 0, PM_NOREMOVE));  // nothing posted: a beep
    dlg.GetDlgItem(IDCANCEL)->EnableWindow(TRUE);
    UserClose(*window);
    ASSERT_TRUE(backend.Peek(m, nullptr, 0, 0, PM_REMOVE));  // WM_COMMAND IDCANCEL is posted
    EXPECT_EQ(m.message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(LOWORD(m.wParam), IDCANCEL);
}

}  // namespace
