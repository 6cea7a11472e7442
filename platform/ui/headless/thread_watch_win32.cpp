// Windows: the thread's CPU cycle count. A thread waiting in the kernel uses no cycles, so a
// count that has not moved since the previous look means the thread has not run in between.
// Where the count is not kept (Wine answers QueryThreadCycleTime with a failure), nothing
// can be told and the scripted user waits out its bounds.
#include "platform/ui/headless/thread_watch.h"

#include <windows.h>

#include <mutex>

namespace drovan::ui::headless {

struct ThreadWatch::State {
    std::mutex mutex;
    HANDLE thread = nullptr;
    bool counted = false;
    ULONG64 lastCycles = 0;
    bool haveLast = false;
};

ThreadWatch::ThreadWatch() : m_state(new State) {}

ThreadWatch::~ThreadWatch() {
    if (m_state->thread) CloseHandle(m_state->thread);
    delete m_state;
}

void ThreadWatch::WatchCurrentThread() {
    HANDLE h = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentThreadId());
    std::lock_guard lock(m_state->mutex);
    if (m_state->thread) CloseHandle(m_state->thread);
    m_state->thread = h;
    ULONG64 cycles = 0;
    m_state->counted = h && QueryThreadCycleTime(h, &cycles) && cycles != 0;
    m_state->haveLast = false;
}

bool ThreadWatch::CanTell() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->counted;
}

bool ThreadWatch::Exact() const { return false; }

bool ThreadWatch::Waiting() {
    std::lock_guard lock(m_state->mutex);
    if (!m_state->counted) return false;
    ULONG64 cycles = 0;
    if (!QueryThreadCycleTime(m_state->thread, &cycles)) return false;
    bool still = m_state->haveLast && cycles == m_state->lastCycles;
    m_state->lastCycles = cycles;
    m_state->haveLast = true;
    return still;
}

}  // namespace drovan::ui::headless
