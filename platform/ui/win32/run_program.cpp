// How a framework program starts on Windows: the common controls' classes, the Win32
// backend, then the application object through AfxWinMain.
#include "platform/ui/afxwin.h"
#include "platform/ui/win32/win32_backend.h"

namespace drovan::ui::win32 {

int RunProgram(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    Win32Backend backend;
    SetBackend(&backend);
    int code = AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
    SetBackend(nullptr);
    return code;
}

}  // namespace drovan::ui::win32
