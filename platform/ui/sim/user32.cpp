// USER32 and COMCTL32 on the simulated machine: the Win32 functions of win32/user.h,
// served by the framework's window model and the installed dialog backend.
#include <climits>
#include <cstdint>

#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog_manager.h"
#include "platform/ui/window.h"

using namespace drovan::ui;

namespace {
Window* Valid(HWND h) {
    Window* w = FromHandle(h);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}
}  // namespace

int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    int64_t product = static_cast<int64_t>(nNumber) * nNumerator;
    int64_t half = (nDenominator < 0 ? -nDenominator : nDenominator) / 2;
    bool negative = (product < 0) != (nDenominator < 0);
    int64_t magnitude = ((product < 0 ? -product : product) + half) / (nDenominator < 0 ? -nDenominator : nDenominator);
    int64_t result = negative ? -magnitude : magnitude;
    if (result > INT_MAX || result < INT_MIN) return -1;
    return static_cast<int>(result);
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Valid(hWnd);
    return w ? Send(*w, Msg, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd && !Valid(hWnd)) return FALSE;
    if (!HasBackend()) return FALSE;
    CurrentBackend().Post(hWnd, Msg, wParam, lParam);
    return TRUE;
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg || !HasBackend()) return FALSE;
    return CurrentBackend().Peek(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg) ? TRUE : FALSE;
}

void PostQuitMessage(int nExitCode) {
    if (HasBackend()) CurrentBackend().Post(nullptr, WM_QUIT, static_cast<WPARAM>(nExitCode), 0);
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Window* d = Valid(hDlg);
    Window* c = d ? d->Child(nIDDlgItem) : nullptr;
    if (d && !c) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return c ? c->hwnd : nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    Window* w = Valid(hWnd);
    return w ? w->id : 0;
}

HWND GetParent(HWND hWnd) {
    Window* w = Valid(hWnd);
    if (!w) return nullptr;
    return w->parent ? w->parent->hwnd : w->owner;
}

BOOL IsWindow(HWND hWnd) { return FromHandle(hWnd) != nullptr; }

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    Window* w = Valid(hWnd);
    return w ? static_cast<BOOL>(Send(*w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString))) : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    Window* w = Valid(hWnd);
    if (!w) {
        if (lpString && nMaxCount > 0) lpString[0] = 0;
        return 0;
    }
    return static_cast<int>(Send(*w, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthW(HWND hWnd) {
    Window* w = Valid(hWnd);
    return w ? static_cast<int>(Send(*w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND c = GetDlgItem(hDlg, nIDDlgItem);
    return c ? SetWindowTextW(c, lpString) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
    HWND c = GetDlgItem(hDlg, nIDDlgItem);
    if (!c) {
        if (lpString && cchMax > 0) lpString[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(c, lpString, cchMax));
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* w = Valid(hWnd);
    return w ? EnableWindowModel(*w, bEnable) : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
    Window* w = Valid(hWnd);
    return w && w->Enabled();
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = Valid(hWnd);
    return w ? ShowWindowModel(*w, nCmdShow) : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    if (!w) return FALSE;
    for (; w; w = w->parent)
        if (!w->Visible()) return FALSE;
    return TRUE;
}

BOOL IsIconic(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    return w && w->iconic;
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    Window* d = Valid(hDlg);
    if (!d) return FALSE;
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (Window* c = d->Child(id)) Send(*c, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND c = GetDlgItem(hDlg, nIDButton);
    if (!c) return FALSE;
    SendMessageW(c, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND c = GetDlgItem(hDlg, nIDButton);
    return c ? static_cast<UINT>(SendMessageW(c, BM_GETCHECK, 0, 0)) : 0;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    Window* w = Valid(hDlg);
    if (!w || w->kind != WindowKind::Dialog) return FALSE;
    EndDialogModel(*w, nResult);
    return TRUE;
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int, int, int, int, UINT uFlags) {
    Window* w = Valid(hWnd);
    return w ? SetWindowPosModel(*w, hWndInsertAfter, uFlags) : FALSE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    Window* w = Valid(hWnd);
    if (!w || !lpRect) return FALSE;
    *lpRect = ClientRect(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* w = Valid(hWnd);
    if (!w || !lpRect) return FALSE;
    const Window* d = w->kind == WindowKind::Dialog ? w : w->parent;
    *lpRect = ToPixels(*d, w->dlu);
    return TRUE;
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    Window* w = Valid(hDlg);
    if (!w || !lpRect) return FALSE;
    *lpRect = ToPixels(*w, *lpRect);
    return TRUE;
}

HMENU GetSystemMenu(HWND hWnd, BOOL) {
    Window* w = Valid(hWnd);
    return w ? SystemMenuOf(*w) : nullptr;
}

BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    Window* w = WindowOfMenu(hMenu);
    if (!w) return -1;
    return static_cast<BOOL>(EnableMenuItemModel(*w, uIDEnableItem, uEnable));
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
    case SM_CXSCREEN: return 1920;
    case SM_CYSCREEN: return 1080;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    default: return 0;
    }
}

HWND GetActiveWindow() {
    Window* w = ActiveDialog();
    return w ? w->hwnd : nullptr;
}

HWND GetFocus() {
    Window* d = ActiveDialog();
    return d ? d->focus : nullptr;
}

HWND SetFocus(HWND hWnd) {
    Window* w = hWnd ? Valid(hWnd) : nullptr;
    if (hWnd && !w) return nullptr;
    HWND previous = GetFocus();
    if (w && w->parent && CanTakeFocus(*w)) SetFocusModel(*w->parent, w);
    return previous;
}

BOOL MessageBeep(UINT) {
    if (HasBackend()) CurrentBackend().Beep();
    return TRUE;
}

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    return ShowMessageBox(hWnd, lpText, lpCaption, uType);
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC) {
    Window* w = Valid(hWnd);
    if (!w || !HasBackend()) return 0;
    CurrentBackend().SetTimer(*w, nIDEvent, uElapse);
    return nIDEvent ? nIDEvent : 1;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    Window* w = Valid(hWnd);
    return w && HasBackend() && CurrentBackend().KillTimer(*w, uIDEvent);
}

BOOL InvalidateRect(HWND hWnd, const RECT*, BOOL) {
    Window* w = Valid(hWnd);
    if (!w || !HasBackend()) return FALSE;
    if (Window* d = w->Dialog()) CurrentBackend().Invalidate(*d);
    return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
    Window* w = Valid(hWnd);
    if (!w) return FALSE;
    if (w->kind == WindowKind::Dialog && w->needsPaint) Send(*w, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    return TRUE;
}

void InitCommonControls() {}

namespace Gdiplus {
Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
    if (!token || !input) return InvalidParameter;
    if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output) return InvalidParameter;
    static ULONG_PTR next = 0x1000;
    *token = ++next;
    if (output) *output = GdiplusStartupOutput{nullptr, nullptr};
    return Ok;
}

void WINAPI GdiplusShutdown(ULONG_PTR) {}
}  // namespace Gdiplus
