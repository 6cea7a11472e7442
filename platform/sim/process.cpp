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

HANDLE StartProcess(const std::vector<std::string>& argv, const std::string& cwd, DWORD* error) {
    if (argv.empty()) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    std::vector<std::string> env;
    const std::string machineVar = "DROVAN_MACHINE=";
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind(machineVar, 0) != 0) env.emplace_back(*e);
    env.push_back(machineVar + CurrentMachine().Folder().string());
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
        *error = rc == ENOENT ? ERROR_FILE_NOT_FOUND
                 : rc == EACCES ? ERROR_ACCESS_DENIED
                 : rc == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY
                 : ERROR_PATH_NOT_FOUND;
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
