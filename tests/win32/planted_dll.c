/* A DLL planted beside the program under test, under the name of a DLL the program or the
 * system loads. It imports nothing but KERNEL32 and exports nothing: when loaded, it leaves
 * "<its own path>.loaded" beside itself, and then lets the loader go on, so that the test
 * sees every planted DLL that was taken, not just the first. */
#include <windows.h>

BOOL WINAPI PlantedDllMain(HINSTANCE hinstDll, DWORD dwReason, LPVOID lpReserved) {
    (void)lpReserved;
    if (dwReason == DLL_PROCESS_ATTACH) {
        WCHAR szPath[MAX_PATH + 8];
        DWORD cch = GetModuleFileNameW(hinstDll, szPath, MAX_PATH);
        if (cch > 0 && cch < MAX_PATH) {
            lstrcatW(szPath, L".loaded");
            HANDLE hFile = CreateFileW(szPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
        }
    }
    return TRUE;
}
