// Linux: the scheduler's own view of the thread, from /proc.
#include "platform/ui/headless/thread_watch.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <string>

namespace drovan::ui::headless {

struct ThreadWatch::State {
    std::atomic<long> tid{0};
};

ThreadWatch::ThreadWatch() : m_state(new State) {}
ThreadWatch::~ThreadWatch() { delete m_state; }

void ThreadWatch::WatchCurrentThread() { m_state->tid = static_cast<long>(::syscall(SYS_gettid)); }

bool ThreadWatch::CanTell() const { return true; }

bool ThreadWatch::Waiting() {
    long tid = m_state->tid;
    if (!tid) return false;
    // The state letter follows the command name in parentheses: 'S' sleeping, 'D' in an
    // uninterruptible wait, 'R' running.
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t paren = content.rfind(')');
    char s = paren != std::string::npos && paren + 2 < content.size() ? content[paren + 2] : '?';
    return s == 'S' || s == 'D';
}

}  // namespace drovan::ui::headless
