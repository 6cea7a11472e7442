// Windows: the program's calls of MessageBoxW go through one pointer, its import slot
// (__imp_MessageBoxW), whether USER32 is imported at start or delay-loaded (then the slot
// holds the delay-load thunk until the first call). Pointing the slot at the framework's
// message box reaches every caller in the program, and a delay-loaded USER32 is then not
// even loaded for it.
#include "platform/ui/headless/system_boxes.h"

#include <windows.h>

#include "platform/ui/window.h"

// The import slot's symbol: stdcall names are decorated in 32-bit programs.
#ifdef _WIN64
extern "C" void* g_pMessageBoxWSlot __asm__("__imp_MessageBoxW");
#else
extern "C" void* g_pMessageBoxWSlot __asm__("__imp__MessageBoxW@16");
#endif

namespace drovan::ui::headless {

namespace {
int WINAPI FrameworkMessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    return ShowMessageBox(hWnd, lpText, lpCaption, uType);
}
}  // namespace

bool RouteSystemMessageBoxes() {
    void** slot = &g_pMessageBoxWSlot;
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
    *slot = reinterpret_cast<void*>(&FrameworkMessageBoxW);
    VirtualProtect(slot, sizeof *slot, previous, &previous);
    return true;
}

}  // namespace drovan::ui::headless
