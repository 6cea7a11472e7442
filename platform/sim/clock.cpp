#include "clock.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

namespace sim::clock {
namespace {

using Steady = std::chrono::steady_clock;

struct State {
    std::mutex mutex;  // the one kernel wait lock
    std::condition_variable changed;
    Steady::time_point origin = Steady::now();
    Millis originMachine = 0;  // machine time at origin (real mode)
    double speed = InitialSpeed();
    bool driven = false;
    Millis drivenNow = 0;
    // Threads that found their wait's condition false since the last notification and
    // sleep on `changed`. A notification wakes them all to look again, so it clears this.
    std::vector<std::thread::id> asleep;
    std::vector<std::thread::id> workers;  // the program's threads made by CreateThread

    void Notify() {
        asleep.clear();
        changed.notify_all();
    }
    void Asleep(bool on) {
        auto id = std::this_thread::get_id();
        auto it = std::find(asleep.begin(), asleep.end(), id);
        if (on && it == asleep.end()) asleep.push_back(id);
        if (!on && it != asleep.end()) asleep.erase(it);
    }

    static double InitialSpeed() {
        const char* env = std::getenv("DROVAN_CLOCK_SPEED");
        double s = env ? std::atof(env) : 1.0;
        return s >= 1.0 ? s : 1.0;
    }
    Millis RealNow() const {
        auto elapsed = std::chrono::duration<double, std::milli>(Steady::now() - origin).count();
        return originMachine + static_cast<Millis>(elapsed * speed);
    }
    Millis NowLocked() const { return driven ? drivenNow : RealNow(); }
};

State& S() {
    static State* s = new State;  // waits may run during static destruction
    return *s;
}

}  // namespace

Millis Now() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return s.NowLocked();
}

void SetSpeed(double factor) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    Millis now = s.NowLocked();
    s.origin = Steady::now();
    s.originMachine = now;
    s.speed = factor >= 1.0 ? factor : 1.0;
    s.Notify();
}

double Speed() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return s.speed;
}

void Drive() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    if (!s.driven) {
        s.drivenNow = s.RealNow();
        s.driven = true;
    }
    s.Notify();
}

bool IsDriven() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return s.driven;
}

void Advance(Millis ms) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    if (s.driven) s.drivenNow += ms;
    s.Notify();
}

std::mutex& Lock() { return S().mutex; }

void NotifyAll() { S().Notify(); }

bool IsWaitingLocked(std::thread::id thread) {
    const auto& a = S().asleep;
    return std::find(a.begin(), a.end(), thread) != a.end();
}

void AddWorkerLocked(std::thread::id thread) { S().workers.push_back(thread); }

void RemoveWorkerLocked(std::thread::id thread) {
    auto& w = S().workers;
    auto it = std::find(w.begin(), w.end(), thread);
    if (it != w.end()) w.erase(it);
}

bool WorkersAsleepLocked() {
    for (const auto& id : S().workers)
        if (!IsWaitingLocked(id)) return false;
    return true;
}

bool WaitUntil(std::unique_lock<std::mutex>& lock, Millis deadline,
               const std::function<bool()>& done) {
    State& s = S();
    for (;;) {
        if (done()) return true;
        Millis now = s.NowLocked();
        if (deadline != kForever && now >= deadline) return false;
        s.Asleep(true);
        if (s.driven || deadline == kForever) {
            s.changed.wait(lock);
        } else {
            double realMs = static_cast<double>(deadline - now) / s.speed;
            s.changed.wait_for(lock, std::chrono::duration<double, std::milli>(realMs + 0.5));
        }
        s.Asleep(false);  // awake (notified, timed out or spuriously): look again
    }
}

void SleepFor(Millis ms) {
    std::unique_lock lock(Lock());
    Millis deadline = S().NowLocked() + ms;
    WaitUntil(lock, deadline, [] { return false; });
}

}  // namespace sim::clock
