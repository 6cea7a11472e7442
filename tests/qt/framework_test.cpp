// The framework's dialogs on the Qt backend: a worker's message box shown and answered
// while the GUI thread waits for that worker, Escape and the close box as Cancel, nested
// modals, timers on the machine clock, the wait cursor and a picture dialog's painting.
#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/sim/clock.h"
#include "platform/sim/machine.h"
#include "platform/ui/afx.h"
#include "res/test/test_dialogs.h"
#include "tests/qt/qt_test_support.h"

namespace {

using drovan::ui::qt::QtDialog;
using qttest::Backend;
using qttest::WaitFor;

// Its Worker button asks a worker thread to put a question to the user, and waits for the
// worker without handling any input meanwhile (as the installed-driver dialog's Delete does).
class CWorkerDlg : public CDialog {
public:
    CWorkerDlg() : CDialog(IDD_TEST_MAIN) {}
    std::atomic<int> m_nAnswer{0};
    std::atomic<int> m_nTicks{0};

protected:
    static DWORD WINAPI Ask(LPVOID p) {
        auto* dlg = static_cast<CWorkerDlg*>(p);
        dlg->m_nAnswer = ::MessageBoxW(dlg->m_hWnd, TEXT("Delete the driver?"), TEXT("Drivers"),
                                       MB_YESNO | MB_ICONQUESTION);
        return 0;
    }
    afx_msg void OnBnClickedWorker() {
        HANDLE h = CreateThread(NULL, 0, Ask, this, 0, NULL);
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
        SetDlgItemText(IDC_LABEL, m_nAnswer == IDNO ? TEXT("answer no") : TEXT("answer other"));
    }
    afx_msg void OnBnClickedTimer() { SetTimer(7, 500, NULL); }
    afx_msg void OnTimer(UINT_PTR) {
        ++m_nTicks;
        CString s;
        s.Format(TEXT("ticks %d"), m_nTicks.load());
        SetDlgItemText(IDC_LABEL, s);
    }
    afx_msg void OnBnClickedNested() {
        CDialog nested(IDD_TEST_NESTED, this);
        INT_PTR r = nested.DoModal();
        SetDlgItemText(IDC_LABEL, r == IDCANCEL ? TEXT("nested cancel") : TEXT("nested other"));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CWorkerDlg, CDialog)
    ON_BN_CLICKED(IDC_WORKER, &CWorkerDlg::OnBnClickedWorker)
    ON_BN_CLICKED(IDC_START_TIMER, &CWorkerDlg::OnBnClickedTimer)
    ON_BN_CLICKED(IDC_NESTED, &CWorkerDlg::OnBnClickedNested)
    ON_WM_TIMER()
END_MESSAGE_MAP()

class FrameworkOnQt : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::path folder = std::filesystem::path(QT_SCRATCH_DIR) / ("fw-" + name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder.parent_path());
        std::string init = std::string(DROVAN_MACHINE_TOOL) + " --machine '" + folder.string() +
                           "' init --lang 1033 >/dev/null";
        ASSERT_EQ(std::system(init.c_str()), 0);
        ::setenv("DROVAN_MACHINE", folder.c_str(), 1);
        sim::UseMachine(folder);  // the program's static objects may have opened another already
        sim::clock::Drive();
        std::thread([this] { m_result = m_dlg.DoModal(); m_ended = true; }).detach();
        ASSERT_TRUE(WaitFor([] { return Dialog(IDD_TEST_MAIN) != nullptr; }));
        m_widget = Dialog(IDD_TEST_MAIN);
    }
    static QtDialog* Dialog(int id) {
        QtDialog* d = Backend().DialogWidget(id);
        return d && d->isVisible() ? d : nullptr;
    }
    QString Label() { return qobject_cast<QLabel*>(m_widget->Control(IDC_LABEL))->text(); }
    QAbstractButton* Button(int id) { return qobject_cast<QAbstractButton*>(m_widget->Control(id)); }

    CWorkerDlg m_dlg;
    std::atomic<INT_PTR> m_result{0};
    std::atomic<bool> m_ended{false};
    QtDialog* m_widget = nullptr;
};

TEST_F(FrameworkOnQt, WorkersMessageBoxIsAnsweredWhileTheGuiThreadWaits) {
    qttest::ExpectTemplateGeometry(m_widget);
    Button(IDC_WORKER)->click();
    ASSERT_TRUE(WaitFor([] { return qttest::VisibleMessageBox() != nullptr; }));
    auto* box = qobject_cast<QMessageBox*>(qttest::VisibleMessageBox());
    EXPECT_FALSE(Backend().FrameworkIdle()) << "the GUI thread is blocked in its wait";
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Drivers"));
    EXPECT_EQ(box->text(), QStringLiteral("Delete the driver?"));
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->parentWidget(), m_widget);
    ASSERT_EQ(box->buttons().size(), 2);
    qttest::SavePng(box, "framework-worker-msgbox");
    // Yes/No has no Cancel: Escape does nothing, as on Windows.
    QTest::keyClick(box, Qt::Key_Escape);
    Backend().Settle(300);
    EXPECT_TRUE(box->isVisible());
    QAbstractButton* no = nullptr;
    for (QAbstractButton* b : box->buttons())
        if (b->property("drovanId").toInt() == IDNO) no = b;
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(no->text(), QStringLiteral("&No"));
    no->click();
    ASSERT_TRUE(WaitFor([&] { return Label() == QStringLiteral("answer no"); }));
    EXPECT_FALSE(m_ended);
}

TEST_F(FrameworkOnQt, ArrowKeysMoveThroughTheRadioGroupAndCheckAsTheyGo) {
    QAbstractButton* a = Button(IDC_RADIO_A);
    QAbstractButton* b = Button(IDC_RADIO_B);
    QAbstractButton* d = Button(IDC_RADIO_D);
    QAbstractButton* e = Button(IDC_RADIO_E);
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return b->isChecked(); }));
    EXPECT_EQ(m_widget->focusWidget(), b);
    EXPECT_FALSE(a->isChecked());
    // C is hidden and D starts the next group: from B the group wraps round to A.
    QTest::keyClick(b, Qt::Key_Right);
    ASSERT_TRUE(WaitFor([&] { return a->isChecked(); }));
    EXPECT_EQ(m_widget->focusWidget(), a);
    EXPECT_FALSE(b->isChecked());
    EXPECT_FALSE(d->isChecked());
    QTest::keyClick(a, Qt::Key_Up);
    ASSERT_TRUE(WaitFor([&] { return b->isChecked(); }));
    EXPECT_EQ(m_widget->focusWidget(), b);
    // The second group on its own: Left from D wraps to E, and B stays checked.
    d->setFocus();
    QTest::keyClick(d, Qt::Key_Left);
    ASSERT_TRUE(WaitFor([&] { return e->isChecked(); }));
    EXPECT_EQ(m_widget->focusWidget(), e);
    EXPECT_TRUE(b->isChecked());
    EXPECT_FALSE(d->isChecked());
}

TEST_F(FrameworkOnQt, TimersRunOnTheMachineClock) {
    Button(IDC_START_TIMER)->click();
    Backend().Settle();
    sim::clock::Advance(400);
    Backend().Settle();
    EXPECT_EQ(m_dlg.m_nTicks, 0);
    sim::clock::Advance(100);
    ASSERT_TRUE(WaitFor([&] { return Label() == QStringLiteral("ticks 1"); }));
    sim::clock::Advance(500);
    ASSERT_TRUE(WaitFor([&] { return Label() == QStringLiteral("ticks 2"); }));
}

TEST_F(FrameworkOnQt, NestedModalEndsWithEscapeAndTheCloseBoxCancels) {
    Button(IDC_NESTED)->click();
    ASSERT_TRUE(WaitFor([] { return Dialog(IDD_TEST_NESTED) != nullptr; }));
    QtDialog* nested = Dialog(IDD_TEST_NESTED);
    qttest::ExpectTemplateGeometry(nested);
    EXPECT_TRUE(nested->isModal());
    QTest::keyClick(nested, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return Label() == QStringLiteral("nested cancel"); }));
    EXPECT_EQ(Dialog(IDD_TEST_NESTED), nullptr);
    // The close box of the outer dialog: Cancel.
    m_widget->close();
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    EXPECT_EQ(m_result, IDCANCEL);
}

TEST_F(FrameworkOnQt, WaitCursorFollowsTheApplication) {
    AfxGetApp();  // no application object here: the framework's counter is used directly
    Backend().SetWaitCursor(true);
    Backend().Settle();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Backend().SetWaitCursor(false);
    Backend().Settle();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
