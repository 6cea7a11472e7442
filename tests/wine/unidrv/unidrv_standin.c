/* UNIDRV.DLL and UNIRES.DLL of the Wine test prefix: stand-ins for the universal printer
 * driver's graphics module and its resources, which Wine does not have. Wine never loads a
 * printer's graphics module (it draws printer pages with its own PostScript driver), so
 * these only have to be real modules in the driver directory; anything that does ask the
 * graphics module to start is refused cleanly. Built for the Wine tests only, never shipped. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI DrvQueryDriverInfo(DWORD type, PVOID buffer, DWORD size, PDWORD needed) {
    (void)type;
    (void)buffer;
    (void)size;
    if (needed) *needed = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI DrvEnableDriver(ULONG version, ULONG size, PVOID data) {
    (void)version;
    (void)size;
    (void)data;
    SetLastError(ERROR_NOT_SUPPORTED); /* this stand-in draws nothing */
    return FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
