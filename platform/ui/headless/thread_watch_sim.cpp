// The simulated machine: every wait of a program thread is a wait on the machine clock,
// which knows which threads sleep on a condition they found false, and which threads the
// program started. Exact, and no sampling.
#include <atomic>
#include <thread>

#include "platform/sim/clock.h"
#include "platform/ui/headless/thread_watch.h"

namespace drovan::ui::headless {

struct ThreadWatch::State {
    std::atomic<std::thread::id> thread{};
};

ThreadWatch::ThreadWatch() : m_state(new State) {}
ThreadWatch::~ThreadWatch() { delete m_state; }

void ThreadWatch::WatchCurrentThread() { m_state->thread = std::this_thread::get_id(); }

bool ThreadWatch::CanTell() const { return true; }

bool ThreadWatch::Exact() const { return true; }

// The watched thread waits, and so does every worker the program started: nothing of the
// program runs until something it waits for happens (time passing, a process ending).
bool ThreadWatch::Waiting() {
    std::thread::id id = m_state->thread;
    return id != std::thread::id() && sim::clock::IsWaitingLocked(id) && sim::clock::WorkersAsleepLocked();
}

}  // namespace drovan::ui::headless
