#include <atomic>
#include <thread>

#include "fresh_machine.h"
#include "platform/sim/clock.h"
#include "platform/win32.h"

namespace {

struct Sleeper {
    std::atomic<std::thread::id> thread{};
    std::atomic<bool> woke{false};
};

}  // namespace

// Driven time moves only when the test says so; once driven, a process stays driven. Each
// Advance happens while the waiting thread is known to be asleep, so the deadline it took is
// the one the test means whenever the thread got to run.
TEST(DrivenClock, SleepsAndTimeOutsFollowTheDrivenClock) {
    sim::clock::Drive();
    ASSERT_TRUE(sim::clock::IsDriven());
    DWORD start = GetTickCount();

    Sleeper s;
    HANDLE sleeper = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
        auto* me = static_cast<Sleeper*>(p);
        me->thread = std::this_thread::get_id();
        Sleep(45000);  // a long fixed pause, as the driver retries take
        me->woke = true;
        return 7;
    }, &s, 0, nullptr);
    ASSERT_NE(sleeper, nullptr);
    ASSERT_TRUE(Eventually([&] { return s.thread.load() != std::thread::id() && Asleep(s.thread); }));
    EXPECT_FALSE(s.woke) << "no machine time has passed";
    sim::clock::Advance(44999);
    ASSERT_TRUE(Eventually([&] { return Asleep(s.thread) || s.woke; }));
    EXPECT_FALSE(s.woke) << "1 ms of the pause is left";
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(sleeper, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    sim::clock::Advance(1);
    // The thread's handle is signalled only after its function has returned.
    EXPECT_TRUE(Eventually([&] { return WaitForSingleObject(sleeper, 0) == WAIT_OBJECT_0; }));
    EXPECT_TRUE(s.woke);
    EXPECT_TRUE(GetExitCodeThread(sleeper, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(sleeper);
    EXPECT_EQ(GetTickCount() - start, 45000u);

    // A wait with a time-out ends when the driven clock passes it, not before.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> result{0xFFFF};
    std::thread waiter([&] { result = WaitForSingleObject(event, 120000); });
    EXPECT_TRUE(Eventually([&] { return Asleep(waiter.get_id()); }));
    sim::clock::Advance(119999);
    EXPECT_TRUE(Eventually([&] { return Asleep(waiter.get_id()) || result != 0xFFFFu; }));
    EXPECT_EQ(result.load(), 0xFFFFu) << "1 ms of the time-out is left";
    sim::clock::Advance(1);
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
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        while (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0 && !done) ++woken;
    });
    const std::thread::id id = waiter.get_id();
    EXPECT_TRUE(Eventually([&] { return Asleep(id); }));
    EXPECT_FALSE(Asleep(std::this_thread::get_id()));

    // Time passing wakes every waiter to look; it goes back to sleep without the event.
    sim::clock::Advance(1000);
    EXPECT_TRUE(Eventually([&] { return Asleep(id); }));
    EXPECT_EQ(woken.load(), 0);

    // The event: after it the thread is not waiting until it has counted and slept again.
    SetEvent(event);
    EXPECT_TRUE(Eventually([&] { return woken.load() == 1 && Asleep(id); }));

    done = true;
    SetEvent(event);
    waiter.join();
    EXPECT_FALSE(Asleep(id));
    CloseHandle(event);
}
