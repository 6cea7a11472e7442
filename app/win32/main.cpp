// drovan.exe's start. Without /quiet it starts as every framework program does on Windows
// (platform/ui/win32/win_main.cpp): the common controls' classes and the Win32 backend,
// which shows the wizard, or a command line's message box. With /quiet no backend is made
// at all, so that no window can appear; the application object runs the wizard on the
// headless backend, answered from the switches (app/cli).
#include "app/cli/CommandLine.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/win32/win32_backend.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    if (CCommandLine::AsksQuiet(lpCmdLine)) return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    drovan::ui::win32::Win32Backend backend;
    drovan::ui::SetBackend(&backend);
    int code = AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
    drovan::ui::SetBackend(nullptr);
    return code;
}
