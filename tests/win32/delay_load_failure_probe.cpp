// A program that calls a system function it cannot have, linked for delay loading as
// drovan.exe is and with its hooks (platform/ui/win32/dll_search.cpp): it must end with the
// hooks' message instead of an unhandled exception. "library" calls a function of a DLL that
// does not exist, "function" a function that version.dll does not have.
#include <windows.h>

#include <cstdio>
#include <cwchar>

extern "C" int WINAPI DrovanAbsentLibraryFunction(void);
extern "C" int WINAPI DrovanAbsentFunction(void);

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"library") == 0) return DrovanAbsentLibraryFunction();
    if (argc == 2 && std::wcscmp(argv[1], L"function") == 0) return DrovanAbsentFunction();
    std::fputs("usage: drovan-delay-load-probe library|function\n", stderr);
    return 2;
}
