// Which DLLs the program takes: those of the system folder only, never one lying beside it.
//
// The installer runs with administrator rights and is started from wherever it was unpacked,
// often a downloads folder. Windows' loader looks in a program's own folder first for every
// DLL that is not a KnownDLL (WINSPOOL.DRV, version.dll, uxtheme.dll, ...), for the program's
// imports and for LoadLibrary calls alike, so a DLL planted beside the program would run
// elevated. Two things close that:
//
//  - Before any code of the program runs, later loads are restricted to System32
//    (SetDefaultDllDirectories). This is done from a TLS callback, which the loader calls once
//    the static imports are bound and before the C runtime starts: earlier than static
//    constructors or wWinMain, whatever they may come to load. It covers the program's own
//    LoadLibrary calls and those the system libraries make on its behalf.
//  - Imports are bound before that callback, so the build links every system library but
//    KERNEL32 (which this file needs) and msvcrt (the C runtime, needed before main) for
//    delay loading (app/win32/CMakeLists.txt): each is loaded at its first call, after the
//    restriction. Both that stay are KnownDLLs, which Windows maps from its own copy.
//
// Windows 7 without update KB2533623 has no SetDefaultDllDirectories. There the delay-load
// hook below loads each library by its full System32 path instead (common controls 6, which
// the manifest redirects to the side-by-side store, by name: that redirection comes before
// any folder), and never falls back to the plain search.
//
// A system library or function that cannot be had is reported in the user's language and
// ends the program, rather than the unhandled exception the delay-load helper would raise.
#include <windows.h>
// After windows.h, whose types it uses.
#include <delayimp.h>

#include <cwchar>

namespace {

bool g_bSystemFolderOnly = false;  // SetDefaultDllDirectories took effect

void NTAPI RestrictDllSearch(PVOID, DWORD dwReason, PVOID) {
    if (dwReason != DLL_PROCESS_ATTACH) return;
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto pfnSetDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    g_bSystemFolderOnly = pfnSetDefault && pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without it, at least the current folder leaves the search (the program's own stays).
    if (!g_bSystemFolderOnly) SetDllDirectoryW(L"");
}

// The program's own rule for its language: Simplified Chinese for language 2052.
bool IsChinese() {
    return GetUserDefaultLangID() == 2052;
}

// Ends the program with a message. FatalAppExit is the kernel's own: it works even when the
// library that could not be loaded is USER32.
[[noreturn]] void Stop(const DelayLoadInfo& dli, bool bLibrary) {
    WCHAR szDll[MAX_PATH] = L"?";
    MultiByteToWideChar(CP_ACP, 0, dli.szDll, -1, szDll, MAX_PATH);
    szDll[MAX_PATH - 1] = 0;
    WCHAR szProc[256] = L"?";
    if (!bLibrary && dli.dlp.fImportByName)
        MultiByteToWideChar(CP_ACP, 0, dli.dlp.szProcName, -1, szProc, 256);
    else if (!bLibrary)
        _snwprintf(szProc, 255, L"#%lu", static_cast<unsigned long>(dli.dlp.dwOrdinal));
    szProc[255] = 0;
    const bool bChinese = IsChinese();
    WCHAR szText[768];
    if (bLibrary) {
        _snwprintf(
            szText, 767,
            bChinese ? L"Drovan Setup 无法继续：无法从 Windows 系统文件夹加载系统库 %ls。"
                     : L"Drovan Setup cannot continue: the system library %ls could not be loaded "
                       L"from the Windows system folder.",
            szDll);
    } else {
        _snwprintf(
            szText, 767,
            bChinese ? L"Drovan Setup 无法继续：系统库 %ls 中没有函数 %ls。"
                       L"此 Windows 版本可能过旧。"
                     : L"Drovan Setup cannot continue: the system library %ls has no function %ls. "
                       L"This version of Windows may be too old.",
            szDll, szProc);
    }
    szText[767] = 0;
    FatalAppExitW(0, szText);
    ExitProcess(ERROR_MOD_NOT_FOUND);  // not reached: FatalAppExit ends the process
}

HMODULE LoadFromSystemFolder(const char* pszDll) {
    WCHAR szName[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, pszDll, -1, szName, MAX_PATH)) return nullptr;
    ACTCTX_SECTION_KEYED_DATA redirected{};
    redirected.cbSize = sizeof redirected;
    if (FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, szName,
                                 &redirected))
        return LoadLibraryW(szName);
    WCHAR szPath[MAX_PATH];
    UINT cch = GetSystemDirectoryW(szPath, MAX_PATH);
    if (cch == 0 || cch + 1 + wcslen(szName) >= MAX_PATH) return nullptr;
    szPath[cch] = L'\\';
    wcscpy(szPath + cch + 1, szName);
    // The library's own imports are then looked for in its folder, System32, first.
    return LoadLibraryExW(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC WINAPI OnDelayLoad(unsigned dliNotify, PDelayLoadInfo pdli) {
    // With the search restricted, the helper's own LoadLibrary is the right one.
    if (dliNotify != dliNotePreLoadLibrary || g_bSystemFolderOnly) return nullptr;
    HMODULE hModule = LoadFromSystemFolder(pdli->szDll);
    if (!hModule) Stop(*pdli, true);  // the helper's plain search would try the program's folder
    return reinterpret_cast<FARPROC>(hModule);
}

FARPROC WINAPI OnDelayLoadFailure(unsigned dliNotify, PDelayLoadInfo pdli) {
    if (dliNotify == dliFailLoadLib) Stop(*pdli, true);
    if (dliNotify == dliFailGetProc) Stop(*pdli, false);
    return nullptr;
}

// The TLS callback: ".CRT$XLB" sorts between the runtime's start of the list (XLA) and its
// own callbacks (XLC, XLD), so this one runs first.
__attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK kRestrictDllSearch =
    RestrictDllSearch;

}  // namespace

// The delay-load helper's hooks (delayimp.h).
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = OnDelayLoad;
PfnDliHook __pfnDliFailureHook2 = OnDelayLoadFailure;
}
