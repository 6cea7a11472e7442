#include "fresh_machine.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/sim/clock.h"

namespace fs = std::filesystem;

void FreshMachine::SetUp() {
    char pattern[] = "/tmp/drovan-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_folder = fs::path(pattern) / "machine";
    sim::UseMachine(m_folder);
    sim::CurrentMachine();  // created now, with the default set-up
}

void FreshMachine::TearDown() {
    sim::UseMachine("/nonexistent-after-test");  // closes the database before removal
    std::error_code ec;
    fs::remove_all(m_folder.parent_path(), ec);
}

void FreshMachine::Reinit(const sim::MachineSettings& settings) {
    sim::CurrentMachine().SetSettings(settings);
}

CommandResult RunCommand(const std::string& command) {
    CommandResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool Asleep(std::thread::id thread) {
    std::lock_guard lock(sim::clock::Lock());
    return sim::clock::IsWaitingLocked(thread);
}
