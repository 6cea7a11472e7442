// ShellExecuteExW on the simulated machine: the program is found as the shell finds it,
// its parameters become the child's argv by Windows' rules, and it runs as a real child
// process of this one on the same machine.
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "faults.h"
#include "machine.h"
#include "paths.h"
#include "process.h"
#include "shell_cmdline.h"
#include "shell_programs.h"
#include "shell_search.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/shell.h"

namespace sim {
namespace {

// What a launch has to start: the host executable, its argv after argv[0], and the
// command line the program sees as its own (GetCommandLineW on Windows).
struct Launch {
    std::filesystem::path host;
    std::vector<std::string> args;
    std::u16string commandLine;
    std::string cwd;  // empty: this process's
};

INT_PTR InstAppCode(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND: return SE_ERR_FNF;
        case ERROR_PATH_NOT_FOUND: return SE_ERR_PNF;
        case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
        case ERROR_NOT_ENOUGH_MEMORY: return SE_ERR_OOM;
        case ERROR_SHARING_VIOLATION: return SE_ERR_SHARE;
        case ERROR_NO_ASSOCIATION: return SE_ERR_NOASSOC;
        case ERROR_DDE_FAIL: return SE_ERR_DDEFAIL;
        case ERROR_DLL_NOT_FOUND: return SE_ERR_DLLNOTFOUND;
        default: return SE_ERR_ACCESSDENIED;  // what the shell reports for the rest
    }
}

BOOL Fail(SHELLEXECUTEINFOW* sei, DWORD error) {
    sei->hInstApp = reinterpret_cast<HINSTANCE>(InstAppCode(error));
    SetLastError(error);
    return FALSE;
}

bool IsProgramExtension(std::u16string_view path) {
    std::u16string folded = Fold(path);
    auto endsWith = [&](std::u16string_view ext) {
        return folded.size() >= ext.size() &&
               folded.compare(folded.size() - ext.size(), ext.size(), ext) == 0;
    };
    return endsWith(u".EXE") || endsWith(u".COM");
}

// Starts the child with its command line in its environment (the machine and its clock
// speed come along with every child). Returns a process handle, or null with the error.
HANDLE Spawn(const Launch& launch, DWORD* error) {
    std::vector<std::string> argv;
    argv.push_back(launch.host.string());
    argv.insert(argv.end(), launch.args.begin(), launch.args.end());
    return StartProcess(argv, launch.cwd, error,
                        {"DROVAN_COMMAND_LINE=" + ToUtf8(launch.commandLine)});
}

// Decides what runs for the file the search found: a system program's host stand-in
// for a marker, the file itself for a host executable, else the shell's error.
bool PrepareLaunch(const FoundProgram& found, Launch* launch, DWORD* error) {
    if (!IsProgramExtension(found.windowsPath)) {
        *error = ERROR_NO_ASSOCIATION;  // documents are opened by their association
        return false;
    }
    if (access(found.host.c_str(), R_OK) != 0) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (auto name = SystemProgramName(found.host)) {
        auto host = SystemProgramHost(*name, error);
        if (!host) return false;
        launch->host = *host;
        return true;
    }
    if (access(found.host.c_str(), X_OK) != 0) {
        *error = ERROR_BAD_EXE_FORMAT;  // a file named .exe that is no program
        return false;
    }
    launch->host = found.host;
    return true;
}

}  // namespace
}  // namespace sim

using namespace sim;

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* sei) {
    if (!sei) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A 32-bit caller's structure (60 bytes) is accepted beside this build's own.
    if (sei->cbSize != 60 && sei->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    sei->hProcess = nullptr;
    DWORD error = 0;
    if (TakeFault("ShellExecuteExW", &error)) return Fail(sei, error);

    std::u16string verb(View(sei->lpVerb));
    if (!verb.empty() && !EqualsNoCase(verb, u"open")) return Fail(sei, ERROR_NO_ASSOCIATION);

    std::u16string directory(View(sei->lpDirectory));
    auto found = FindProgram(View(sei->lpFile), directory, &error);
    if (!found) return Fail(sei, error);

    Launch launch;
    if (!PrepareLaunch(*found, &launch, &error)) return Fail(sei, error);
    if (!directory.empty()) {
        auto cwd = HostPath(directory, &error);
        std::error_code ec;
        if (!cwd || !std::filesystem::is_directory(*cwd, ec))
            return Fail(sei, cwd ? ERROR_DIRECTORY : error);
        launch.cwd = cwd->string();
    }
    std::u16string parameters(View(sei->lpParameters));
    launch.commandLine = u"\"" + found->windowsPath + u"\"";
    if (!parameters.empty()) launch.commandLine += u" " + parameters;
    for (const auto& arg : SplitCommandLine(parameters, false)) launch.args.push_back(ToUtf8(arg));

    HANDLE process = Spawn(launch, &error);
    if (!process) return Fail(sei, error);
    if (sei->fMask & SEE_MASK_NOCLOSEPROCESS)
        sei->hProcess = process;
    else
        CloseHandle(process);
    sei->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
