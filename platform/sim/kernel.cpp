// KERNEL32's threads, events, waits, sleeps and system information.
#include "win32/errors.h"
#include "win32/kernel.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "clock.h"
#include "faults.h"
#include "machine.h"
#include "waitable.h"

namespace sim {

void Signal(Waitable& object) {
    std::lock_guard lock(clock::Lock());
    object.signalled = true;
    clock::NotifyAll();
}

namespace {

thread_local DWORD t_lastError = 0;

std::shared_ptr<Waitable> LookupWaitable(HANDLE h) {
    if (auto t = Lookup<ThreadObject>(h)) return t;
    if (auto e = Lookup<EventObject>(h)) return e;
    if (auto p = Lookup<ProcessObject>(h)) return p;
    return nullptr;
}

bool Faulted(const char* op) {
    DWORD error = 0;
    if (!TakeFault(op, &error)) return false;
    t_lastError = error;
    return true;
}

}  // namespace
}  // namespace sim

using namespace sim;

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

BOOL CloseHandle(HANDLE hObject) {
    auto kind = HandleKind(hObject);
    // Printers, services and modules have closers of their own.
    if (!kind || *kind == Kind::Module || *kind == Kind::Printer || *kind == Kind::ScManager ||
        *kind == Kind::Service || *kind == Kind::DevInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RemoveAnyHandle(hObject);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = LookupWaitable(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    clock::Millis deadline =
        dwMilliseconds == INFINITE ? clock::kForever : clock::Now() + dwMilliseconds;
    std::unique_lock lock(clock::Lock());
    bool done = clock::WaitUntil(lock, deadline, [&] { return object->signalled; });
    if (!done) return WAIT_TIMEOUT;
    object->Consume();
    return WAIT_OBJECT_0;
}

void Sleep(DWORD dwMilliseconds) { clock::SleepFor(dwMilliseconds); }

DWORD GetTickCount() { return static_cast<DWORD>(clock::Now()); }
ULONGLONG GetTickCount64() { return clock::Now(); }

HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId) {
    (void)lpThreadAttributes, (void)dwStackSize;
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags & CREATE_SUSPENDED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (Faulted("CreateThread")) return nullptr;
    auto object = std::make_shared<ThreadObject>();
    std::mutex started;
    std::condition_variable ready;
    bool haveId = false;
    try {
        std::thread([object, lpStartAddress, lpParameter, &started, &ready, &haveId] {
            {
                std::lock_guard clockLock(clock::Lock());
                clock::AddWorkerLocked(std::this_thread::get_id());
            }
            {
                std::lock_guard lock(started);
                object->threadId = static_cast<DWORD>(syscall(SYS_gettid));
                haveId = true;
                ready.notify_one();
            }
            DWORD code = lpStartAddress(lpParameter);
            std::lock_guard lock(clock::Lock());
            clock::RemoveWorkerLocked(std::this_thread::get_id());
            object->exitCode = code;
            object->signalled = true;
            clock::NotifyAll();
        }).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        std::unique_lock lock(started);
        ready.wait(lock, [&] { return haveId; });
    }
    if (lpThreadId) *lpThreadId = object->threadId;
    return InsertHandle(object);
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto t = Lookup<ThreadObject>(hThread);
    if (!t) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    std::lock_guard lock(clock::Lock());
    *lpExitCode = t->exitCode;
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto p = Lookup<ProcessObject>(hProcess);
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    std::lock_guard lock(clock::Lock());
    *lpExitCode = p->exitCode;
    return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                    BOOL bInitialState, LPCWSTR lpName) {
    (void)lpEventAttributes;
    if (lpName && *lpName) {
        // Named events are shared between processes on Windows; nothing here needs them.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (Faulted("CreateEventW")) return nullptr;
    auto e = std::make_shared<EventObject>();
    e->manualReset = bManualReset != FALSE;
    e->signalled = bInitialState != FALSE;
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(e);
}

BOOL SetEvent(HANDLE hEvent) {
    auto e = Lookup<EventObject>(hEvent);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Signal(*e);
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto e = Lookup<EventObject>(hEvent);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(clock::Lock());
    e->signalled = false;
    return TRUE;
}

namespace {
void FillSystemInfo(LPSYSTEM_INFO info, WORD arch) {
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = arch;
    info->dwPageSize = 4096;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
    info->dwActiveProcessorMask = 3;
    info->dwNumberOfProcessors = 2;
    info->dwAllocationGranularity = 65536;
    info->wProcessorLevel = 6;
}
}  // namespace

void GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    FillSystemInfo(lpSystemInfo, ArchProcessorValue(CurrentMachine().Settings().arch));
}

void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    // The installer is a 32-bit process: under WOW64 it sees an x86 processor.
    Arch arch = CurrentMachine().Settings().arch;
    FillSystemInfo(lpSystemInfo, arch == Arch::X64 ? PROCESSOR_ARCHITECTURE_INTEL
                                                   : ArchProcessorValue(arch));
}

LANGID GetUserDefaultLangID() { return CurrentMachine().Settings().lang; }
LANGID GetSystemDefaultLangID() { return CurrentMachine().Settings().lang; }
LANGID GetUserDefaultUILanguage() { return CurrentMachine().Settings().lang; }
