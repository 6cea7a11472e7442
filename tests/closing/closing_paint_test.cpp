// The closing dialog's paint, in process on the headless backend: every WM_PAINT stretches
// the whole of bitmap 154 over the whole client area, and the template gives the borderless
// pop-up its hidden OK and Cancel.
#include <gtest/gtest.h>

#include "app/UserOptionDlg.h"
#include "platform/ui/afx.h"
#include "platform/ui/backend.h"
#include "platform/ui/headless/headless_backend.h"
#include "res/dialog_template.h"

using namespace drovan::ui;

namespace {

class ClosingPaint : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(&backend);
        SetGuiThreadToCurrent();
        const auto* t = drovan::res::FindDialogTemplate(IDD_USEROPTION_DIALOG);
        ASSERT_NE(t, nullptr);
        window = BuildDialog(*t, nullptr);
        dlg.SubclassWindow(window->hwnd);
    }
    void TearDown() override {
        Unregister(window.get());
        SetBackend(nullptr);
    }

    std::vector<std::string> lines;
    headless::Transcript transcript{[this](const std::string& l) { lines.push_back(l); }};
    headless::HeadlessBackend backend{transcript};
    std::unique_ptr<Window> window;
    CUserOptionDlg dlg;
};

TEST_F(ClosingPaint, EveryPaintStretchesTheWholePictureOverTheWholeClientArea) {
    CRect rcClient;
    dlg.GetClientRect(&rcClient);
    ASSERT_GT(rcClient.Width(), 0);
    for (int n = 1; n <= 2; ++n) {
        Send(*window, WM_PAINT, 0, 0);
        EXPECT_EQ(backend.PaintCount(IDD_USEROPTION_DIALOG), n);
        PaintList ops = backend.LastPaint(IDD_USEROPTION_DIALOG);
        ASSERT_EQ(ops.size(), 1u);
        const PaintOp& op = ops[0];
        EXPECT_EQ(op.kind, PaintOp::StretchBlt);
        EXPECT_EQ(op.bitmapId, IDB_CLOSING_PICTURE);
        EXPECT_EQ(op.bitmapSize.cx, 1054);
        EXPECT_EQ(op.bitmapSize.cy, 679);
        EXPECT_EQ(op.src.left, 0);
        EXPECT_EQ(op.src.top, 0);
        EXPECT_EQ(op.src.right, 1054);
        EXPECT_EQ(op.src.bottom, 679);
        EXPECT_EQ(op.dst.left, 0);
        EXPECT_EQ(op.dst.top, 0);
        EXPECT_EQ(op.dst.right, rcClient.Width());
        EXPECT_EQ(op.dst.bottom, rcClient.Height());
        EXPECT_EQ(op.rop, static_cast<DWORD>(SRCCOPY));
    }
}

TEST_F(ClosingPaint, BorderlessPopupWithHiddenDefaultOkAndCancel) {
    const DWORD style = window->style;
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | DS_MODALFRAME));
    for (int id : {IDOK, IDCANCEL}) {
        Window* button = window->Child(id);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->style & WS_VISIBLE);
    }
    EXPECT_EQ(LOWORD(dlg.GetDefID()), IDOK);
}

}  // namespace
