// The dialog manager's rules on real windows: the Win32 backend, run under Wine on a virtual
// screen by scripts/wine-wizard.sh (or on Windows). A user thread posts the native key and
// command messages a user's keyboard makes, waits until the GUI thread has taken them, and
// looks at the result there:
// Escape, the window menu's Close, WM_CLOSE and Alt+F4 do nothing while Cancel is disabled;
// the native focus is the framework's, moving on from a disabled control and with Tab and
// Shift+Tab, and a click's focus reaches the framework.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <type_traits>

#include "platform/ui/afx.h"
#include "platform/ui/dialog_manager.h"
#include "res/test/test_dialogs.h"
#include "win32_fixture.h"

using namespace drovan::ui;

namespace {

class CKeysDlg : public CDialog {
public:
    CKeysDlg() : CDialog(IDD_TEST_MAIN) {}
    std::atomic<bool> running{false};

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
        running = true;
        return TRUE;
    }
};

class Win32Keyboard : public Win32BackendTest {
protected:
    // Runs f on the GUI thread, from its loop, and waits for it (a bounded while).
    template <class F>
    auto OnGui(F f) {
        using R = decltype(f());
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
        auto result = task->get_future();
        backend.Loop().PostTask([task] { (*task)(); });
        if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the GUI thread does not run its loop";
            if constexpr (!std::is_void_v<R>) return R{};
            else return;
        }
        return result.get();
    }
    Window& Model() { return *FromHandle(dlg.m_hWnd); }
    HWND Native(int id) { return static_cast<HWND>(Model().Child(id)->peer); }
    HWND NativeDialog() { return static_cast<HWND>(Model().peer); }
    int ModelFocus() {
        Window* f = FocusOf(Model());
        return f ? f->id : -1;
    }
    // The control the native focus is on (its model ID), or -1.
    int NativeFocus() {
        HWND focus = GetFocus();
        for (auto& c : Model().children)
            if (c->peer && (c->peer == focus || IsChild(static_cast<HWND>(c->peer), focus))) return c->id;
        return -1;
    }
    void Key(UINT vk) {
        HWND to = OnGui([this] { return GetFocus() ? GetFocus() : NativeDialog(); });
        PostMessageW(to, WM_KEYDOWN, vk, 1);
        PostMessageW(to, WM_KEYUP, vk, 1 | (1u << 30) | (1u << 31));
        Flush();
    }
    // Until the GUI thread has taken every native message posted before: a position posted
    // to the native progress bar after them has arrived. (The framework's own tasks may
    // overtake native messages, so a task alone does not tell.)
    void Flush() {
        m_mark = m_mark % 90 + 1;
        int mark = m_mark;
        HWND bar = OnGui([this] { return Native(IDC_PROGRESS); });
        PostMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(mark), 0);
        for (int i = 0; i < 500; ++i) {
            if (OnGui([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) == mark; })) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "the GUI thread did not take its messages";
    }

    // The user's side, on a thread of its own.
    void Play();

    CKeysDlg dlg;
    int m_mark = 0;  // the last position Flush posted
};

TEST_F(Win32Keyboard, CancelDisabledKeepsTheDialogAndTheNativeFocusIsTheFrameworks) {
    std::atomic<bool> ended{false};
    std::thread user([&] {
        Play();
        // Whatever failed, the dialog ends.
        for (int i = 0; i < 1000 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended) backend.Loop().PostTask([this] { dlg.EndDialog(-1); });
    });
    INT_PTR result = dlg.DoModal();
    ended = true;
    user.join();
    EXPECT_EQ(result, IDCANCEL);
}

void Win32Keyboard::Play() {
    for (int i = 0; i < 1000 && !dlg.running; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(dlg.running);
    // The dialog starts on its first tab stop, natively too.
    EXPECT_EQ(OnGui([this] { return ModelFocus(); }), IDC_RADIO_A);
    EXPECT_EQ(OnGui([this] { return NativeFocus(); }), IDC_RADIO_A);

    // Escape, the window menu's Close, WM_CLOSE and Alt+F4 while Cancel is disabled.
    Key(VK_ESCAPE);
    HWND dialog = OnGui([this] { return NativeDialog(); });
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    PostMessageW(dialog, WM_SYSKEYDOWN, VK_F4, 1 | (1u << 29));
    Flush();
    Flush();  // the close command Alt+F4 posts in turn
    EXPECT_FALSE(OnGui([this] { return Model().ended; }));
    EXPECT_TRUE(OnGui([this] { return IsWindowVisible(NativeDialog()) != FALSE; }));

    // A focused control disabled: the focus moves on to the next tab stop, natively too.
    OnGui([this] {
        SetFocusModel(Model(), Model().Child(IDC_EDIT));
        EnableWindowModel(*Model().Child(IDC_EDIT), FALSE);
    });
    EXPECT_EQ(OnGui([this] { return ModelFocus(); }), IDOK);
    EXPECT_EQ(OnGui([this] { return NativeFocus(); }), IDOK);
    // Tab: Cancel is disabled, round to the first tab stop; Shift+Tab back.
    Key(VK_TAB);
    EXPECT_EQ(OnGui([this] { return ModelFocus(); }), IDC_RADIO_A);
    EXPECT_EQ(OnGui([this] { return NativeFocus(); }), IDC_RADIO_A);
    OnGui([] {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
    });
    Key(VK_TAB);
    OnGui([] {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    });
    EXPECT_EQ(OnGui([this] { return ModelFocus(); }), IDOK);
    EXPECT_EQ(OnGui([this] { return NativeFocus(); }), IDOK);

    // A click on the check box: the native focus it takes is the framework's too.
    HWND check = OnGui([this] { return Native(IDC_CHECK); });
    PostMessageW(check, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageW(check, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    Flush();
    EXPECT_EQ(OnGui([this] { return NativeFocus(); }), IDC_CHECK);
    EXPECT_EQ(OnGui([this] { return ModelFocus(); }), IDC_CHECK);
    EXPECT_EQ(OnGui([this] { return Model().Child(IDC_CHECK)->check; }), BST_CHECKED);

    // Cancel enabled again: Escape is Cancel.
    OnGui([this] { EnableWindowModel(*Model().Child(IDCANCEL), TRUE); });
    HWND to = OnGui([] { return GetFocus(); });
    PostMessageW(to, WM_KEYDOWN, VK_ESCAPE, 1);  // the dialog ends: no loop to flush
}

}  // namespace
