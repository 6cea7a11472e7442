// The C runtime's command interpreter call on the simulated machine. Windows' _wsystem
// runs "%ComSpec% /c COMMAND" and returns the interpreter's exit code; the simulated
// machine has no command interpreter that could run Windows commands, and a host shell
// must never see them, so the command line is recorded in the machine's event log
// (HKLM\SYSTEM\DrovanEvents, event_log.h; `drovan-machine events`
// lists it) and the call reports what cmd.exe reports for a command that started.
#include <cerrno>
#include <string>

#include "event_log.h"
#include "faults.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"

namespace sim {
namespace {

constexpr const char16_t* kInterpreter = u"C:\\Windows\\System32\\cmd.exe";
// The longest command line CreateProcess accepts, terminator included.
constexpr size_t kMaxCommandLine = 32767;

int ErrnoFromFault(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        default: return ENOEXEC;
    }
}

}  // namespace
}  // namespace sim

int _wsystem(const WCHAR* command) {
    DWORD error = 0;
    // An injected fault stands for a machine whose command interpreter is missing or
    // cannot start.
    if (sim::TakeFault("_wsystem", &error)) {
        errno = sim::ErrnoFromFault(error);
        return command ? -1 : 0;
    }
    if (!command) return 1;  // asked only whether an interpreter exists
    std::u16string line = std::u16string(sim::kInterpreter) + u" /c " + std::u16string(sim::View(command));
    if (line.size() + 1 > sim::kMaxCommandLine) {
        errno = E2BIG;
        return -1;
    }
    // cmd.exe runs in the caller's current folder, where it also looks first for a program
    // named without a path: the event says which folder that was.
    WCHAR folder[32768];
    DWORD cchFolder = GetCurrentDirectoryW(32768, folder);
    std::u16string where = cchFolder > 0 && cchFolder < 32768 ? std::u16string(sim::View(folder)) : u"?";
    sim::Event event{u"CRT", u"Information", 0,
                     u"The command interpreter was asked to run a command in " + where +
                         u" (not run on the simulated machine).",
                     line};
    if (!sim::RecordEvent(event)) {
        errno = ENOMEM;
        return -1;
    }
    return 0;  // what cmd.exe returns once "start" has launched its program
}
