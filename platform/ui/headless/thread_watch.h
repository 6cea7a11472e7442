// Whether a thread of this process is waiting in the kernel (for an event, a process, a
// sleep) rather than running: how the scripted user tells a GUI thread that is blocked in a
// wait of its own from one that is still working, without waiting out a bound.
#pragma once

namespace drovan::ui::headless {

class ThreadWatch {
public:
    ThreadWatch();
    ~ThreadWatch();
    ThreadWatch(const ThreadWatch&) = delete;
    ThreadWatch& operator=(const ThreadWatch&) = delete;

    // Watches the calling thread from now on (called on the GUI thread).
    void WatchCurrentThread();
    // True when this home can tell at all; where it cannot, Waiting() is always false and
    // callers wait out their bounds instead.
    bool CanTell() const;
    // True when the watched thread was found not running: asleep in the kernel, or, where
    // only the thread's run time can be seen, it has not run since the previous look.
    bool Waiting();
    // True when Waiting() is certain at the moment it is called, not an inference from two
    // looks: on the simulated machine, which knows its waiters. There Waiting() must be
    // called with the machine clock's lock held, the lock every wait changes under.
    bool Exact() const;

private:
    struct State;
    State* m_state;
};

}  // namespace drovan::ui::headless
