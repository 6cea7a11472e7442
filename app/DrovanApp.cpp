#include "app/DrovanApp.h"

#include "app/DrovanDlg.h"

BEGIN_MESSAGE_MAP(CDrovanApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CDrovanApp::CDrovanApp() : m_gdiplusToken(0), m_nExitCode(0) {}

BOOL CDrovanApp::InitInstance() {
    if (!BeginRun()) return FALSE;

    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, NULL);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey(TEXT("应用程序向导生成的本地应用程序"));

    CDrovanDlg dlg;
    m_pMainWnd = &dlg;
    RunWizard(dlg);
    return FALSE;
}

int CDrovanApp::ExitInstance() { return m_nExitCode; }
