// CWinApp and the program's start: the application object is a global of the program
// (as `theApp`), constructed before the framework runs it from AfxWinMain.
#include <atomic>
#include <cstdio>

#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/window.h"

namespace {
CWinApp* g_app = nullptr;
std::atomic<int> g_waitCursor{0};

CString ModuleBaseName() {
    WCHAR path[MAX_PATH] = {0};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString s(path, static_cast<int>(n < MAX_PATH ? n : 0));
    int slash = s.ReverseFind('\\');
    int slash2 = s.ReverseFind('/');
    if (slash2 > slash) slash = slash2;
    s = s.Mid(slash + 1);
    int dot = s.ReverseFind('.');
    if (dot > 0) s = s.Left(dot);
    return s;
}
}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCWSTR lpszAppName) {
    if (lpszAppName) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName;
    }
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    // The framework's programs are dialog based: without a window of its own to run, the
    // application ends.
    return ExitInstance();
}

int CWinApp::DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT) {
    drovan::ui::Window* active = drovan::ui::ActiveDialog();
    HWND owner = active ? active->hwnd : (m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr);
    return drovan::ui::ShowMessageBox(owner, lpszPrompt, AfxGetAppName(), nType);
}

LRESULT CWinApp::ProcessWndProcException(CException* e, const MSG*) {
    e->ReportError(MB_ICONSTOP | MB_OK);
    return 0;
}

void CWinApp::DoWaitCursor(int nCode) {
    int n = nCode > 0 ? ++g_waitCursor : (nCode < 0 ? --g_waitCursor : g_waitCursor.load());
    if (n < 0) g_waitCursor = n = 0;
    if (drovan::ui::HasBackend()) drovan::ui::CurrentBackend().SetWaitCursor(n > 0);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const { return ::LoadIconW(m_hInstance, MAKEINTRESOURCEW(nIDResource)); }
HICON CWinApp::LoadIcon(LPCWSTR lpszResourceName) const { return ::LoadIconW(m_hInstance, lpszResourceName); }
HCURSOR CWinApp::LoadCursor(UINT nIDResource) const { return ::LoadCursorW(m_hInstance, MAKEINTRESOURCEW(nIDResource)); }
HCURSOR CWinApp::LoadStandardCursor(LPCWSTR lpszCursorName) const { return ::LoadCursorW(nullptr, lpszCursorName); }
HICON CWinApp::LoadStandardIcon(LPCWSTR lpszIconName) const { return ::LoadIconW(nullptr, lpszIconName); }

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey) {
    m_strRegistryKey = lpszRegistryKey;
    m_pszRegistryKey = m_strRegistryKey;
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
    CString s;
    s.Format(TEXT("%u"), nIDRegistryKey);
    SetRegistryKey(s);
}

void CWinApp::OnHelp() {
    // The program ships no help file; the help command does nothing.
}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : nullptr; }
HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

LPCWSTR AfxGetAppName() {
    if (g_app && g_app->m_pszAppName) return g_app->m_pszAppName;
    static const CString name = ModuleBaseName();
    return name;
}

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT nIDHelp) {
    if (g_app) return g_app->DoMessageBox(lpszText, nType, nIDHelp);
    return drovan::ui::ShowMessageBox(nullptr, lpszText, AfxGetAppName(), nType);
}

void AfxEnableControlContainer() {}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app) {
        std::fprintf(stderr, "the program has no application object\n");
        return 1;
    }
    drovan::ui::SetGuiThreadToCurrent();
    app->m_hInstance = hInstance ? hInstance : GetModuleHandleW(nullptr);
    app->m_lpCmdLine = lpCmdLine ? lpCmdLine : TEXT("");
    app->m_nCmdShow = nCmdShow;
    if (!app->m_pszAppName) app->m_pszAppName = AfxGetAppName();
    if (!app->InitApplication() || !app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
