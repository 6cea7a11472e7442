// The closing picture dialog alone, as drovan.exe shows it after a successful installation:
// the same class, template, picture and manifest on the Win32 backend. The program reaches it
// only through a real installation, which Wine cannot do; the DPI tests show it this way.
#include "app/UserOptionDlg.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/win32/win32_backend.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    // The picture is loaded from the application's instance, which AfxWinMain would set.
    if (CWinApp* app = AfxGetApp()) app->m_hInstance = hInstance;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    drovan::ui::win32::Win32Backend backend;
    drovan::ui::SetBackend(&backend);
    CUserOptionDlg dlg;
    INT_PTR result = dlg.DoModal();
    drovan::ui::SetBackend(nullptr);
    return static_cast<int>(result);
}
