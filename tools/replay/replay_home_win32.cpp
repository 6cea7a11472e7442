// The replay tool on Windows: the program runs on this computer's real system (there is no
// machine folder to choose), its dialogs' timers and the script's waits in real time, and
// the MessageBoxW calls of its own code are answered by the script instead of a window that
// would wait for somebody to click it.
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>

#include "platform/ui/window.h"
#include "tools/replay/replay_home.h"

#define REPLAY_STRINGIFY2(x) #x
#define REPLAY_STRINGIFY(x) REPLAY_STRINGIFY2(x)
// Referenced weakly, so that the tool still links with a program that has no log. DWORD is
// unsigned long here, and 32-bit symbols carry the platform's leading underscore.
extern void SetProgramLogObserver(replay::LogObserver observer)
    __asm__(REPLAY_STRINGIFY(__USER_LABEL_PREFIX__) "_ZN8CLogFile15SetTestObserverEPFvPKhmE") __attribute__((weak));

namespace replay {

namespace {

// The C runtime has parsed the command line before constructors run.
__attribute__((constructor(101))) void EarlyStart() { OnEarlyStart(__argc, __argv); }

int WINAPI ScriptedMessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    return drovan::ui::ShowMessageBox(hWnd, lpText, lpCaption, uType);
}

// Points this executable's import of `function` from `dll` at `replacement`. The program is
// linked statically, so its code has no other import table.
bool RedirectImport(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return false;
    bool redirected = false;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
        if (!d->OriginalFirstThunk) continue;  // no names to find the function by
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD previous = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &previous)) continue;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, previous, &previous);
            redirected = true;
        }
    }
    return redirected;
}

}  // namespace

LogObserverSetter ProgramLogObserverSetter() { return SetProgramLogObserver ? &SetProgramLogObserver : nullptr; }

bool UseMachineFolder(const std::string&, std::string& error) {
    error = "--machine: there is no simulated machine on Windows; the run acts on this computer";
    return false;
}

void PrepareOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// The machine clock stays in its real mode: the script's waits pass in real time, as the
// program's own sleeps and waits on the real system do.
void StartClock() {}

void RouteSystemMessageBoxes() {
    // A program that never calls MessageBoxW itself has nothing to redirect.
    RedirectImport("user32.dll", "MessageBoxW", reinterpret_cast<void*>(&ScriptedMessageBoxW));
}

}  // namespace replay
