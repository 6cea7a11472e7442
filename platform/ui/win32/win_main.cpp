// The Windows entry point of a framework program: the common controls 6 classes, the Win32
// backend, then the application object through AfxWinMain.
#include "platform/ui/afxwin.h"
#include "platform/ui/win32/win32_backend.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    drovan::ui::win32::Win32Backend backend;
    drovan::ui::SetBackend(&backend);
    int code = AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
    drovan::ui::SetBackend(nullptr);
    return code;
}
