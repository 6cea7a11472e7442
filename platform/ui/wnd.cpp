// CObject, CCmdTarget, CWnd, CMenu and data exchange: the message routing of the framework.
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/window.h"

using drovan::ui::Window;
using drovan::ui::WindowKind;

// ---- CObject ----
const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), nullptr};
const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
        if (c == pBaseClass) return TRUE;
    return FALSE;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }

// ---- CCmdTarget ----
const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::DispatchThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    // Every WM_CTLCOLORxxx is looked up as WM_CTLCOLOR; the handler learns which it was.
    UINT lookup = (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ? WM_CTLCOLOR : message;
    UINT code = HIWORD(wParam), id = LOWORD(wParam);
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
            if (e->nMessage != lookup) continue;
            if (lookup == WM_COMMAND && (e->nCode != code || id < e->nID || id > e->nLastID)) continue;
            LRESULT ignored = 0;
            LRESULT* result = pResult ? pResult : &ignored;
            *result = 0;
            e->pfn(this, message, wParam, lParam, result);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, WPARAM, LPARAM lParam) {
    return DispatchThroughMap(WM_COMMAND, MAKEWPARAM(nID, nCode), lParam, nullptr);
}

// ---- Temporary wrappers and the current message ----
namespace {

std::mutex g_tempMutex;
std::unordered_map<HWND, std::unique_ptr<CWnd>> g_tempWnds;
std::unordered_map<HMENU, std::unique_ptr<CMenu>> g_tempMenus;

struct CurrentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local std::vector<CurrentMessage> t_messages;

Window* Win(HWND h) { return drovan::ui::FromHandle(h); }

}  // namespace

namespace drovan::ui {

LRESULT CallWrapper(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = w.wrapper;
    t_messages.push_back({w.hwnd, msg, wParam, lParam});
    LRESULT result = 0;
    try {
        result = wnd->WindowProc(msg, wParam, lParam);
    } catch (CException* e) {
        // A framework exception that leaves a handler is reported, and the dialog goes on.
        MSG m{w.hwnd, msg, wParam, lParam, 0, {0, 0}};
        if (CWinApp* app = AfxGetApp()) result = app->ProcessWndProcException(e, &m);
        else e->ReportError(MB_ICONSTOP);
        e->Delete();
    }
    t_messages.pop_back();
    return result;
}

void WindowDestroyed(Window& w) {
    if (w.wrapper) {
        w.wrapper->m_hWnd = nullptr;
        w.wrapper = nullptr;
    }
    std::lock_guard lock(g_tempMutex);
    g_tempWnds.erase(w.hwnd);
}

}  // namespace drovan::ui

// ---- CWnd ----
const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    if (Window* w = Win(m_hWnd); w && w->wrapper == this) w->wrapper = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    Window* w = Win(hWnd);
    return w ? w->wrapper : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    Window* w = Win(hWnd);
    if (!w) return nullptr;
    if (w->wrapper) return w->wrapper;
    std::lock_guard lock(g_tempMutex);
    auto& temp = g_tempWnds[hWnd];
    if (!temp) {
        temp = std::make_unique<CWnd>();
        temp->m_hWnd = hWnd;
    }
    return temp.get();
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    Window* w = Win(hWnd);
    if (!w) return FALSE;
    if (w->wrapper && w->wrapper != this) w->wrapper->m_hWnd = nullptr;
    w->wrapper = this;
    m_hWnd = hWnd;
    std::lock_guard lock(g_tempMutex);
    g_tempWnds.erase(hWnd);
    return TRUE;
}

BOOL CWnd::Attach(HWND hWndNew) { return SubclassWindow(hWndNew); }

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (Window* w = Win(h); w && w->wrapper == this) w->wrapper = nullptr;
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    Window* d = pParent ? Win(pParent->m_hWnd) : nullptr;
    Window* c = d ? d->Child(static_cast<int>(nID)) : nullptr;
    return c ? SubclassWindow(c->hwnd) : FALSE;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    Window* d = Win(m_hWnd);
    Window* c = d ? d->Child(nID) : nullptr;
    return c ? FromHandle(c->hwnd) : nullptr;
}

void CWnd::GetDlgItem(int nID, HWND* phWnd) const {
    CWnd* c = GetDlgItem(nID);
    *phWnd = c ? c->m_hWnd : nullptr;
}

int CWnd::GetDlgCtrlID() const {
    Window* w = Win(m_hWnd);
    return w ? w->id : 0;
}

CWnd* CWnd::GetParent() const {
    Window* w = Win(m_hWnd);
    if (!w) return nullptr;
    if (w->parent) return FromHandle(w->parent->hwnd);
    return w->owner ? FromHandle(w->owner) : nullptr;
}

void CWnd::SetWindowText(LPCWSTR s) { SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s)); }

int CWnd::GetWindowText(LPWSTR buf, int n) const {
    return static_cast<int>(SendMessage(WM_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(buf)));
}

void CWnd::GetWindowText(CString& s) const {
    int n = GetWindowTextLength();
    LPWSTR buf = s.GetBufferSetLength(n);
    GetWindowText(buf, n + 1);
    s.ReleaseBuffer();
}

int CWnd::GetWindowTextLength() const { return static_cast<int>(SendMessage(WM_GETTEXTLENGTH)); }

void CWnd::SetDlgItemText(int nID, LPCWSTR s) {
    if (CWnd* c = GetDlgItem(nID)) c->SetWindowText(s);
}

int CWnd::GetDlgItemText(int nID, CString& s) const {
    s.Empty();
    if (CWnd* c = GetDlgItem(nID)) c->GetWindowText(s);
    return s.GetLength();
}

int CWnd::GetDlgItemText(int nID, LPWSTR buf, int n) const {
    CWnd* c = GetDlgItem(nID);
    if (!c) {
        if (buf && n > 0) buf[0] = 0;
        return 0;
    }
    return c->GetWindowText(buf, n);
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    CString s;
    if (bSigned) s.Format(TEXT("%d"), static_cast<int>(nValue));
    else s.Format(TEXT("%u"), nValue);
    SetDlgItemText(nID, s);
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const {
    CString s;
    GetDlgItemText(nID, s);
    s.Trim();
    WCHAR* end = nullptr;
    long v = bSigned ? wcstol(s, &end, 10) : static_cast<long>(wcstoul(s, &end, 10));
    BOOL ok = !s.IsEmpty() && end && *end == 0;
    if (lpTrans) *lpTrans = ok;
    return ok ? static_cast<UINT>(v) : 0;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    Window* w = Win(m_hWnd);
    return w ? drovan::ui::ShowWindowModel(*w, nCmdShow) : FALSE;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    Window* w = Win(m_hWnd);
    return w ? drovan::ui::EnableWindowModel(*w, bEnable) : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    for (Window* w = Win(m_hWnd); w; w = w->parent)
        if (!w->Visible()) return FALSE;
    return m_hWnd != nullptr;
}

BOOL CWnd::IsWindowEnabled() const {
    Window* w = Win(m_hWnd);
    return w && w->Enabled();
}

BOOL CWnd::IsIconic() const {
    Window* w = Win(m_hWnd);
    return w && w->iconic;
}

BOOL CWnd::DestroyWindow() {
    Window* w = Win(m_hWnd);
    if (!w || w->kind != WindowKind::Dialog) return FALSE;
    drovan::ui::EndDialogModel(*w, 0);
    return TRUE;
}

void CWnd::CheckRadioButton(int first, int last, int check) {
    for (int id = first; id <= last; ++id)
        if (CWnd* c = GetDlgItem(id)) c->SendMessage(BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED);
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) { SendDlgItemMessage(nIDButton, BM_SETCHECK, nCheck); }

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    return static_cast<UINT>(SendDlgItemMessage(nIDButton, BM_GETCHECK));
}

int CWnd::GetCheckedRadioButton(int first, int last) const {
    for (int id = first; id <= last; ++id)
        if (IsDlgButtonChecked(id) == BST_CHECKED) return id;
    return 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    Window* w = Win(m_hWnd);
    return w ? drovan::ui::Send(*w, message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (!Win(m_hWnd) || !drovan::ui::HasBackend()) return FALSE;
    drovan::ui::CurrentBackend().Post(m_hWnd, message, wParam, lParam);
    return TRUE;
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) const {
    CWnd* c = GetDlgItem(nID);
    return c ? c->SendMessage(message, wParam, lParam) : 0;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC) {
    Window* w = Win(m_hWnd);
    if (!w || !drovan::ui::HasBackend()) return 0;
    drovan::ui::CurrentBackend().SetTimer(*w, nIDEvent, nElapse);
    return nIDEvent ? nIDEvent : 1;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    Window* w = Win(m_hWnd);
    return w && drovan::ui::HasBackend() && drovan::ui::CurrentBackend().KillTimer(*w, nIDEvent);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    return reinterpret_cast<HICON>(SendMessage(WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL));
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int, int, int, int, UINT nFlags) {
    Window* w = Win(m_hWnd);
    return w && drovan::ui::SetWindowPosModel(*w, pWndInsertAfter ? pWndInsertAfter->m_hWnd : HWND_TOP, nFlags);
}

CMenu* CWnd::GetSystemMenu(BOOL) const {
    Window* w = Win(m_hWnd);
    HMENU m = w ? drovan::ui::SystemMenuOf(*w) : nullptr;
    return m ? CMenu::FromHandle(m) : nullptr;
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    Window* w = Win(m_hWnd);
    *lpRect = w ? drovan::ui::ClientRect(*w) : RECT{0, 0, 0, 0};
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    Window* w = Win(m_hWnd);
    if (!w) {
        *lpRect = RECT{0, 0, 0, 0};
        return;
    }
    const Window* d = w->kind == WindowKind::Dialog ? w : w->parent;
    *lpRect = drovan::ui::ToPixels(*d, w->dlu);
}

void CWnd::MapDialogRect(LPRECT lpRect) const {
    Window* w = Win(m_hWnd);
    if (w) *lpRect = drovan::ui::ToPixels(*w, *lpRect);
}

void CWnd::Invalidate(BOOL) {
    Window* w = Win(m_hWnd);
    if (w && w->Dialog() && drovan::ui::HasBackend()) drovan::ui::CurrentBackend().Invalidate(*w->Dialog());
}

void CWnd::UpdateWindow() {
    Window* w = Win(m_hWnd);
    if (w && w->kind == WindowKind::Dialog && w->needsPaint) SendMessage(WM_PAINT);
}

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(drovan::ui::DrawingWindow(m_hWnd))); }

int CWnd::ReleaseDC(CDC* pDC) { return pDC ? ::ReleaseDC(drovan::ui::DrawingWindow(m_hWnd), pDC->m_hDC) : 0; }

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType) {
    return drovan::ui::ShowMessageBox(m_hWnd, lpszText, lpszCaption ? lpszCaption : AfxGetAppName(), nType);
}

void CWnd::BeginWaitCursor() {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(1);
}

void CWnd::EndWaitCursor() {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(-1);
}

void CWnd::RestoreWaitCursor() {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(0);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            *pResult = 0;
            return TRUE;
        }
        return FALSE;
    }
    return DispatchThroughMap(message, wParam, lParam, pResult);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Win(m_hWnd);
    return w ? drovan::ui::DefaultProc(*w, message, wParam, lParam) : 0;
}

LRESULT CWnd::Default() {
    if (t_messages.empty()) return 0;
    CurrentMessage m = t_messages.back();
    return DefWindowProc(m.message, m.wParam, m.lParam);
}

void CWnd::OnPaint() { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnClose() { Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }

// ---- CButton, CComboBox, CProgressCtrl, CIPAddressCtrl out-of-line members ----
UINT CButton::GetButtonStyle() const {
    Window* w = Win(m_hWnd);
    return w ? (w->style & 0xFF) : 0;
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    int n = GetLBTextLen(nIndex);
    if (n == CB_ERR) {
        rString.Empty();
        return;
    }
    GetLBText(nIndex, rString.GetBufferSetLength(n));
    rString.ReleaseBuffer(n);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    PBRANGE r{0, 0};
    SendMessage(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&r));
    nLower = r.iLow;
    nUpper = r.iHigh;
}

int CIPAddressCtrl::GetAddress(BYTE& f0, BYTE& f1, BYTE& f2, BYTE& f3) const {
    DWORD a = 0;
    int n = GetAddress(a);
    f0 = static_cast<BYTE>(FIRST_IPADDRESS(a));
    f1 = static_cast<BYTE>(SECOND_IPADDRESS(a));
    f2 = static_cast<BYTE>(THIRD_IPADDRESS(a));
    f3 = static_cast<BYTE>(FOURTH_IPADDRESS(a));
    return n;
}

// ---- CMenu ----
CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (!hMenu) return nullptr;
    std::lock_guard lock(g_tempMutex);
    auto& m = g_tempMenus[hMenu];
    if (!m) {
        m = std::make_unique<CMenu>();
        m->m_hMenu = hMenu;
    }
    return m.get();
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
    // A dialog's window menu is the framework's, in every home.
    if (Window* d = drovan::ui::WindowOfMenu(m_hMenu)) return drovan::ui::EnableMenuItemModel(*d, nIDEnableItem, nEnable);
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable));
}

// ---- Data exchange ----
HWND CDataExchange::PrepareCtrl(int nIDC) {
    Window* d = Win(m_pDlgWnd ? m_pDlgWnd->m_hWnd : nullptr);
    Window* c = d ? d->Child(nIDC) : nullptr;
    if (!c) {
        std::fprintf(stderr, "data exchange: dialog %d has no control %d\n", d ? d->id : 0, nIDC);
        return nullptr;
    }
    return c->hwnd;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd) return;
    if (HWND h = pDX->PrepareCtrl(nIDC)) rControl.SubclassWindow(h);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND h = pDX->PrepareCtrl(nIDC);
    CWnd* c = CWnd::FromHandle(h);
    if (!c) return;
    if (pDX->m_bSaveAndValidate) c->GetWindowText(value);
    else c->SetWindowText(value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    HWND h = pDX->PrepareCtrl(nIDC);
    CWnd* c = CWnd::FromHandle(h);
    if (!c) return;
    if (pDX->m_bSaveAndValidate) {
        CString s;
        c->GetWindowText(s);
        s.Trim();
        WCHAR* end = nullptr;
        long v = wcstol(s, &end, 10);
        if (s.IsEmpty() || !end || *end != 0) pDX->Fail();
        else value = static_cast<int>(v);
    } else {
        CString s;
        s.Format(TEXT("%d"), value);
        c->SetWindowText(s);
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    CWnd* c = CWnd::FromHandle(pDX->PrepareCtrl(nIDC));
    if (!c) return;
    if (pDX->m_bSaveAndValidate) value = static_cast<int>(c->SendMessage(BM_GETCHECK));
    else c->SendMessage(BM_SETCHECK, static_cast<WPARAM>(value));
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    Window* first = Win(pDX->PrepareCtrl(nIDC));
    if (!first || !first->parent) return;
    auto& sib = first->parent->children;
    size_t i = 0;
    while (i < sib.size() && sib[i].get() != first) ++i;
    if (pDX->m_bSaveAndValidate) value = -1;
    int index = 0;
    for (size_t k = i; k < sib.size(); ++k) {
        Window* w = sib[k].get();
        if (k > i && (w->style & WS_GROUP)) break;
        if (w->kind != WindowKind::Button) continue;
        DWORD type = w->ButtonType();
        if (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON) continue;
        if (pDX->m_bSaveAndValidate) {
            if (w->check == BST_CHECKED && value < 0) value = index;
        } else {
            drovan::ui::Send(*w, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    CWnd* c = CWnd::FromHandle(pDX->PrepareCtrl(nIDC));
    if (!c) return;
    if (pDX->m_bSaveAndValidate) index = static_cast<int>(c->SendMessage(CB_GETCURSEL));
    else c->SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
}
