#include <atomic>
#include <thread>

#include "fresh_machine.h"
#include "platform/sim/clock.h"
#include "platform/win32.h"

namespace {

// Waits in real time for a condition another thread brings about (bounded).
template <class F>
bool Eventually(F done) {
    for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

}  // namespace

// Driven time moves only when the test says so; once driven, a process stays driven.
TEST(DrivenClock, SleepsAndTimeOutsFollowTheDrivenClock) {
    sim::clock::Drive();
    ASSERT_TRUE(sim::clock::IsDriven());
    DWORD start = GetTickCount();

    std::atomic<bool> woke{false};
    HANDLE sleeper = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        Sleep(45000);  // a long fixed pause, as the driver retries take
        static_cast<std::atomic<bool>*>(p)->store(true);
        return 7;
    }, &woke, 0, nullptr);
    ASSERT_NE(sleeper, nullptr);

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(woke) << "no machine time has passed";
    sim::clock::Advance(44999);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(woke) << "1 ms of the pause is left";
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(sleeper, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    sim::clock::Advance(1);
    EXPECT_TRUE(Eventually([&] { return woke.load(); }));
    EXPECT_EQ(WaitForSingleObject(sleeper, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(sleeper, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(sleeper);
    EXPECT_EQ(GetTickCount() - start, 45000u);

    // A wait with a time-out ends when the driven clock passes it, not before.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> result{0xFFFF};
    std::thread waiter([&] { result = WaitForSingleObject(event, 120000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(result.load(), 0xFFFFu);
    sim::clock::Advance(120000);
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_TIMEOUT));

    // A signal ends it at once, whatever the clock.
    std::thread signalled([&] { result = WaitForSingleObject(event, 120000); });
    SetEvent(event);
    signalled.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0);
    CloseHandle(event);
}

// A thread counts as waiting only while it sleeps on a condition it has found false since
// the last notification: a set event wakes it, and until it has looked again and gone back
// to sleep (or left the wait) it is not waiting.
TEST(DrivenClock, WaitingThreadsAreKnownUntilTheyAreWoken) {
    sim::clock::Drive();
    auto waiting = [](std::thread::id id) {
        std::lock_guard lock(sim::clock::Lock());
        return sim::clock::IsWaitingLocked(id);
    };
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        while (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0 && !done) ++woken;
    });
    const std::thread::id id = waiter.get_id();
    EXPECT_TRUE(Eventually([&] { return waiting(id); }));
    EXPECT_FALSE(waiting(std::this_thread::get_id()));

    // Time passing wakes every waiter to look; it goes back to sleep without the event.
    sim::clock::Advance(1000);
    EXPECT_TRUE(Eventually([&] { return waiting(id); }));
    EXPECT_EQ(woken.load(), 0);

    // The event: after it the thread is not waiting until it has counted and slept again.
    SetEvent(event);
    EXPECT_TRUE(Eventually([&] { return woken.load() == 1 && waiting(id); }));

    done = true;
    SetEvent(event);
    waiter.join();
    EXPECT_FALSE(waiting(id));
    CloseHandle(event);
}
