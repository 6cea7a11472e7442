// The C runtime's command interpreter call on the simulated machine. Windows' _wsystem
// runs "%ComSpec% /c COMMAND" and returns the interpreter's exit code; the simulated
// machine has no command interpreter that could run Windows commands, and a host shell
// must never see them, so the command line is recorded in the machine's event log
// (HKLM\SYSTEM\DrovanEvents, the format the print UI writes; `drovan-machine events`
// lists it) and the call reports what cmd.exe reports for a command that started.
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "faults.h"
#include "machine.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/registry.h"

namespace sim {
namespace {

constexpr const char16_t* kEventLogKey = u"SYSTEM\\DrovanEvents";
constexpr const char16_t* kInterpreter = u"C:\\Windows\\System32\\cmd.exe";
// The longest command line CreateProcess accepts, terminator included.
constexpr size_t kMaxCommandLine = 32767;

bool SetString(HKEY key, const char16_t* name, const std::u16string& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))) == ERROR_SUCCESS;
}

std::u16string UtcNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return ToUtf16(buf);
}

// Appends one event; false when the machine refused it.
bool RecordCommand(const std::u16string& commandLine) {
    try {
        return CurrentMachine().Db().Write([&] {
            HKEY log = nullptr;
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventLogKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &log, nullptr) != ERROR_SUCCESS)
                return false;
            DWORD next = 1, size = sizeof next, type = 0;
            if (RegQueryValueExW(log, u"NextEvent", nullptr, &type, reinterpret_cast<BYTE*>(&next),
                                 &size) != ERROR_SUCCESS ||
                type != REG_DWORD)
                next = 1;
            char name[16];
            std::snprintf(name, sizeof name, "%08u", static_cast<unsigned>(next));
            HKEY key = nullptr;
            bool ok = RegCreateKeyExW(log, ToUtf16(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &key, nullptr) == ERROR_SUCCESS;
            if (ok) {
                DWORD code = 0;
                ok = SetString(key, u"Source", u"CRT") && SetString(key, u"Level", u"Information") &&
                     RegSetValueExW(key, u"Code", 0, REG_DWORD, reinterpret_cast<BYTE*>(&code),
                                    sizeof code) == ERROR_SUCCESS &&
                     SetString(key, u"Message",
                               u"The command interpreter was asked to run a command (not run on "
                               u"the simulated machine).") &&
                     SetString(key, u"CommandLine", commandLine) && SetString(key, u"Time", UtcNow());
                RegCloseKey(key);
            }
            ++next;
            if (ok)
                ok = RegSetValueExW(log, u"NextEvent", 0, REG_DWORD, reinterpret_cast<BYTE*>(&next),
                                    sizeof next) == ERROR_SUCCESS;
            RegCloseKey(log);
            // A half-written event is taken back whole.
            if (!ok) throw StoreError{SQLITE_ABORT, "the event cannot be written"};
            return true;
        });
    } catch (const StoreError&) {
        return false;
    }
}

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
    if (!sim::RecordCommand(line)) {
        errno = ENOMEM;
        return -1;
    }
    return 0;  // what cmd.exe returns once "start" has launched its program
}
