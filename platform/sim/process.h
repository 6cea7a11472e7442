// Child processes of the simulated machine. A started program inherits the machine (its
// folder goes to the child through DROVAN_MACHINE) and is waited for through a process
// handle like any other kernel object.
#pragma once

#include <string>
#include <vector>

#include "win32/types.h"

namespace sim {

// Starts argv[0] (a host path) with the given arguments in cwd (empty: ours), with the
// machine's folder and clock speed and the extra "NAME=value" variables in its
// environment. Returns a process handle, or null with the Win32 error in *error.
HANDLE StartProcess(const std::vector<std::string>& argv, const std::string& cwd, DWORD* error,
                    const std::vector<std::string>& extraEnv = {});

}  // namespace sim
