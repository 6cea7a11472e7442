// The machine clock: the time base of Sleep, GetTickCount, waits with time-outs and UI
// timers on the simulated machine.
//
// It runs in one of two modes. Real (the default) follows the host's steady clock,
// optionally sped up by a factor (DROVAN_CLOCK_SPEED, or SetSpeed) so that long fixed
// delays pass quickly. Driven time moves only when Advance() is called: a test or the
// replay tool steps the clock and everything waiting on it wakes in order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace sim::clock {

using Millis = uint64_t;
inline constexpr Millis kForever = UINT64_MAX;

// Milliseconds of machine time since the process's clock started.
Millis Now();

void SetSpeed(double factor);  // real mode, factor >= 1 makes time pass faster
double Speed();
void Drive();                  // switch to driven mode at the current time
bool IsDriven();
void Advance(Millis ms);       // driven mode: move time forward, waking every waiter

// The lock and condition every machine-time wait uses. Anything that changes what a
// waiter waits for (an event set, a thread ending, time advancing) notifies under it.
std::mutex& Lock();
void NotifyAll();  // call with Lock() held

// Waits under Lock() until done() holds or machine time reaches deadline (kForever for
// none). Returns done() at the end.
bool WaitUntil(std::unique_lock<std::mutex>& lock, Millis deadline,
               const std::function<bool()>& done);

// True while the thread sleeps in WaitUntil (a kernel wait, a sleep) having found, since the
// last notification, that what it waits for has not happened: how a scripted user tells a
// thread blocked on the machine from one still at work. Call with Lock() held.
bool IsWaitingLocked(std::thread::id thread);

// The program's worker threads (CreateThread's), so that "every thread waits" can be told:
// a worker registers before CreateThread returns and leaves as it ends. With Lock() held.
void AddWorkerLocked(std::thread::id thread);
void RemoveWorkerLocked(std::thread::id thread);
bool WorkersAsleepLocked();

// Sleeps for ms of machine time (no object to wait for).
void SleepFor(Millis ms);

}  // namespace sim::clock
