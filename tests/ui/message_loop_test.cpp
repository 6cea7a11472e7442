// The framework's message loop on a backend with no peers at all, so that only the shared
// loop is under test: the order of posted messages, tasks, WM_PAINT and WM_TIMER; timers on
// the driven machine clock ticking while a nested modal loop runs, and dying with their
// dialog; message boxes that wait for an answer from another thread, asked by a worker
// while the GUI thread is blocked and by the GUI thread itself, whose loop goes on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/clock.h"
#include "platform/ui/afx.h"
#include "platform/ui/backend.h"
#include "res/test/test_dialogs.h"

namespace {

using namespace drovan::ui;
using namespace std::chrono_literals;

constexpr UINT WM_TEST = WM_USER + 1;  // wParam: a number for the log

// A backend without peers; its message boxes wait for the test to answer them.
class LoopBackend : public Backend {
public:
    bool Create(Window&) override { return !refuseCreate; }
    void Destroy(Window&) override {}
    void Update(Window&, Change) override {}
    int MessageBox(Window*, const Text&, const Text&, UINT) override {
        return Loop().AwaitAnswer([this](std::function<void(int)> answered) {
            std::lock_guard lock(m_mutex);
            m_boxes.push_back(std::move(answered));
        });
    }
    void SetWaitCursor(bool) override {}
    POINT BaseUnits(const drovan::res::DialogTemplate&) override { return POINT{6, 13}; }
    void Present(Window&, const PaintList&) override {}

    size_t BoxesUp() {
        std::lock_guard lock(m_mutex);
        return m_boxes.size();
    }
    void Answer(int button) {
        std::function<void(int)> answered;
        {
            std::lock_guard lock(m_mutex);
            ASSERT_FALSE(m_boxes.empty());
            answered = std::move(m_boxes.front());
            m_boxes.pop_front();
        }
        answered(button);
    }

    bool refuseCreate = false;  // as a system that cannot make the native window

private:
    std::mutex m_mutex;
    std::deque<std::function<void(int)>> m_boxes;
};

// Whatever reaches the dialog, in order.
class CLogDlg : public CDialog {
public:
    explicit CLogDlg(UINT id = IDD_TEST_MAIN, CWnd* parent = nullptr) : CDialog(id, parent) {}
    std::function<void()> onInit;
    std::function<void(UINT_PTR)> onTimer;

    void Log(const std::string& s) {
        std::lock_guard lock(m_mutex);
        m_log.push_back(s);
    }
    std::vector<std::string> Logged() {
        std::lock_guard lock(m_mutex);
        return m_log;
    }

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (onInit) onInit();
        return TRUE;
    }
    afx_msg LRESULT OnTest(WPARAM n, LPARAM) {
        Log("test " + std::to_string(n));
        return 0;
    }
    afx_msg void OnPaint() { Log("paint"); }
    afx_msg void OnTimer(UINT_PTR id) {
        Log("timer " + std::to_string(id));
        if (onTimer) onTimer(id);
    }
    DECLARE_MESSAGE_MAP()

private:
    std::mutex m_mutex;
    std::vector<std::string> m_log;
};

BEGIN_MESSAGE_MAP(CLogDlg, CDialog)
    ON_MESSAGE(WM_TEST, &CLogDlg::OnTest)
    ON_WM_PAINT()
    ON_WM_TIMER()
END_MESSAGE_MAP()

class MessageLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(&backend);
        sim::clock::Drive();
    }
    void TearDown() override {
        if (user.joinable()) user.join();
        SetBackend(nullptr);
    }
    MessageLoop& Loop() { return backend.Loop(); }
    // The user's side: until the GUI thread is idle in a loop with nothing to do.
    bool WaitIdle() {
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!Loop().Idle())
            if (std::chrono::steady_clock::now() > deadline) return false;
            else std::this_thread::sleep_for(200us);
        return true;
    }
    template <class Pred>
    bool WaitFor(Pred pred) {
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!pred())
            if (std::chrono::steady_clock::now() > deadline) return false;
            else std::this_thread::sleep_for(200us);
        return true;
    }
    // Runs on the GUI thread (this one), from the loop.
    void OnGui(std::function<void()> f) { Loop().PostTask(std::move(f)); }

    LoopBackend backend;
    std::thread user;  // the test's user, while this thread runs the dialogs
};

TEST_F(MessageLoopTest, PostedMessagesThenPaintThenOneTickPerDueTimer) {
    CLogDlg dlg;
    dlg.onInit = [&] {
        dlg.SetTimer(1, 100, nullptr);
        dlg.SetTimer(2, 50, nullptr);
        sim::clock::Advance(300);  // both due before the loop starts, timer 2 first
        dlg.PostMessage(WM_TEST, 1);
        Loop().PostTask([&] {
            dlg.Log("task");
            dlg.PostMessage(WM_TEST, 4);  // after everything posted before it
        });
        dlg.PostMessage(WM_TEST, 2);
        dlg.PostMessage(WM_TEST, 3);
        MSG m{};
        // A program's own PeekMessage takes a message out of the order, and sees no task.
        EXPECT_TRUE(Loop().Peek(m, dlg.m_hWnd, WM_TEST, WM_TEST, PM_NOREMOVE));
        EXPECT_EQ(m.wParam, 1u);
        EXPECT_TRUE(Loop().Peek(m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.wParam, 1u);
        EXPECT_TRUE(Loop().Peek(m, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.wParam, 2u) << "the task before it is not a message";
    };
    dlg.onTimer = [&](UINT_PTR id) {
        if (id == 1) dlg.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    // Timer 2 was due six times over: one tick, counted on from it, so not due again yet.
    EXPECT_EQ(dlg.Logged(),
              (std::vector<std::string>{"task", "test 2", "test 3", "test 4", "paint", "timer 2", "timer 1"}));
}

TEST_F(MessageLoopTest, TimersOfTheOuterDialogTickWhileANestedLoopRunsAndDieWithTheirDialog) {
    CLogDlg outer;
    CLogDlg nested(IDD_TEST_NESTED, &outer);
    outer.onInit = [&] { outer.SetTimer(1, 100, nullptr); };
    std::atomic<bool> nestedRunning{false};
    nested.onInit = [&] {
        nested.SetTimer(9, 30, nullptr);
        nestedRunning = true;
    };
    nested.onTimer = [&](UINT_PTR id) { outer.Log("nested timer " + std::to_string(id)); };
    std::atomic<bool> nestedEnded{false};
    user = std::thread([&] {
        ASSERT_TRUE(WaitIdle());
        sim::clock::Advance(100);  // t+100: the outer tick
        ASSERT_TRUE(WaitFor([&] { return outer.Logged().size() == 2; }));
        OnGui([&] {
            nested.DoModal();
            nestedEnded = true;
        });
        ASSERT_TRUE(WaitFor([&] { return nestedRunning.load(); }));
        ASSERT_TRUE(WaitIdle());
        sim::clock::Advance(100);  // t+200: the nested timer (due t+130), then the outer one
        ASSERT_TRUE(WaitFor([&] { return outer.Logged().size() == 4; }));
        ASSERT_TRUE(WaitIdle());
        nested.PostMessage(WM_COMMAND, IDCANCEL);
        ASSERT_TRUE(WaitFor([&] { return nestedEnded.load(); }));
        ASSERT_TRUE(WaitIdle());
        sim::clock::Millis now = sim::clock::Now();
        {
            std::lock_guard lock(sim::clock::Lock());
            EXPECT_EQ(Loop().NextTimerDueLocked(), now + 100) << "only the outer timer is left";
        }
        sim::clock::Advance(100);
        ASSERT_TRUE(WaitFor([&] { return outer.Logged().size() == 5; }));
        outer.PostMessage(WM_COMMAND, IDCANCEL);
    });
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    user.join();
    EXPECT_EQ(outer.Logged(),
              (std::vector<std::string>{"paint", "timer 1", "nested timer 9", "timer 1", "timer 1"}));
}

TEST_F(MessageLoopTest, AWorkersBoxIsAnsweredWhileTheGuiThreadWaitsAndTheGuiThreadsOwnBoxKeepsTheLoopGoing) {
    CLogDlg dlg;
    std::atomic<int> workerAnswer{0};
    std::atomic<int> ownAnswer{0};
    user = std::thread([&] {
        ASSERT_TRUE(WaitIdle());
        // The GUI thread asks a worker, and waits for it without looking at its queue.
        OnGui([&] {
            std::thread worker([&] {
                workerAnswer = ::MessageBoxW(dlg.m_hWnd, TEXT("Delete?"), TEXT("Drivers"), MB_YESNO);
            });
            worker.join();
            dlg.Log("worker answered");
        });
        ASSERT_TRUE(WaitFor([&] { return backend.BoxesUp() == 1; }));
        dlg.PostMessage(WM_TEST, 1);  // waits in the queue: the GUI thread is blocked
        std::this_thread::sleep_for(20ms);
        EXPECT_FALSE(Loop().Idle());
        EXPECT_EQ(dlg.Logged().size(), 1u) << "only the first paint";
        backend.Answer(IDNO);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(workerAnswer, IDNO);

        // The GUI thread's own box: its loop runs under the box.
        OnGui([&] {
            dlg.SetTimer(5, 100, nullptr);
            ownAnswer = ::MessageBoxW(dlg.m_hWnd, TEXT("Go on?"), TEXT("Drivers"), MB_OKCANCEL);
            dlg.Log("own answered");
        });
        ASSERT_TRUE(WaitFor([&] { return backend.BoxesUp() == 1; }));
        ASSERT_TRUE(WaitIdle());
        dlg.PostMessage(WM_TEST, 2);
        sim::clock::Advance(100);
        ASSERT_TRUE(WaitFor([&] { return dlg.Logged().size() == 5; }));
        backend.Answer(IDCANCEL);
        ASSERT_TRUE(WaitFor([&] { return ownAnswer.load() != 0; }));
        dlg.PostMessage(WM_COMMAND, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    user.join();
    EXPECT_EQ(ownAnswer, IDCANCEL);
    EXPECT_EQ(dlg.Logged(), (std::vector<std::string>{"paint", "worker answered", "test 1", "test 2", "timer 5",
                                                      "own answered"}));
}

}  // namespace

TEST_F(MessageLoopTest, ADialogTheSystemCannotCreateReturnsMinusOneAndLeavesNoTrace) {
    CLogDlg refused;
    bool initialised = false;
    refused.onInit = [&] { initialised = true; };
    backend.refuseCreate = true;
    EXPECT_EQ(refused.DoModal(), -1);
    EXPECT_FALSE(initialised) << "no dialog, no WM_INITDIALOG";
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(drovan::ui::ActiveDialog(), nullptr);

    // Nothing of it is left in the loop or the modal stack: the next dialog runs as usual.
    backend.refuseCreate = false;
    CLogDlg next;
    next.onInit = [&] {
        next.PostMessage(WM_TEST, 1);
        Loop().PostTask([&] { next.EndDialog(IDCANCEL); });
    };
    EXPECT_EQ(next.DoModal(), IDCANCEL);
    EXPECT_EQ(next.Logged(), (std::vector<std::string>{"test 1"}));
}
