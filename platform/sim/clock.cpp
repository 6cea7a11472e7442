#include "clock.h"

#include <atomic>
#include <cstdlib>

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
    s.changed.notify_all();
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
    s.changed.notify_all();
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
    s.changed.notify_all();
}

std::mutex& Lock() { return S().mutex; }

void NotifyAll() { S().changed.notify_all(); }

bool WaitUntil(std::unique_lock<std::mutex>& lock, Millis deadline,
               const std::function<bool()>& done) {
    State& s = S();
    for (;;) {
        if (done()) return true;
        Millis now = s.NowLocked();
        if (deadline != kForever && now >= deadline) return false;
        if (s.driven || deadline == kForever) {
            s.changed.wait(lock);
        } else {
            double realMs = static_cast<double>(deadline - now) / s.speed;
            s.changed.wait_for(lock, std::chrono::duration<double, std::milli>(realMs + 0.5));
        }
    }
}

void SleepFor(Millis ms) {
    std::unique_lock lock(Lock());
    Millis deadline = S().NowLocked() + ms;
    WaitUntil(lock, deadline, [] { return false; });
}

}  // namespace sim::clock
