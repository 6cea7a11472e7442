#include "process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "clock.h"
#include "machine.h"
#include "waitable.h"
#include "win32/errors.h"

extern char** environ;

namespace sim {

namespace {

DWORD ErrorFromSpawn(int rc) {
    switch (rc) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ENOEXEC: return 193;  // ERROR_BAD_EXE_FORMAT: a file that is no program
        case ETXTBSY: return ERROR_SHARING_VIOLATION;
        default: return ERROR_PATH_NOT_FOUND;
    }
}

std::string_view NameOf(std::string_view assignment) {
    return assignment.substr(0, assignment.find('='));
}

}  // namespace

HANDLE StartProcess(const std::vector<std::string>& argv, const std::string& cwd, DWORD* error,
                    const std::vector<std::string>& extraEnv) {
    if (argv.empty()) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    std::vector<std::string> set = extraEnv;
    set.push_back("DROVAN_MACHINE=" + CurrentMachine().Folder().string());
    set.push_back("DROVAN_CLOCK_SPEED=" + std::to_string(clock::Speed()));
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string_view v(*e);
        bool overridden = false;
        for (const auto& s : set) overridden = overridden || NameOf(s) == NameOf(v);
        if (!overridden) env.emplace_back(v);
    }
    env.insert(env.end(), set.begin(), set.end());
    std::vector<char*> envp, args;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy(argv);
    for (auto& a : argCopy) args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        *error = ErrorFromSpawn(rc);
        return nullptr;
    }
    auto process = std::make_shared<ProcessObject>();
    process->pid = pid;
    std::thread([process] {
        int status = 0;
        while (waitpid(process->pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(clock::Lock());
        process->exitCode = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                                              : 0xC000013A;  // killed: STATUS_CONTROL_C_EXIT
        process->signalled = true;
        clock::NotifyAll();
    }).detach();
    return InsertHandle(process);
}

}  // namespace sim
