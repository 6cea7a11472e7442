#include "platform/ui/win32/win32_backend.h"

#include <algorithm>

#include "platform/ui/afxwin.h"
#include "platform/ui/dialog_manager.h"
#include "platform/ui/win32/dialog_template_ex.h"

namespace drovan::ui::win32 {

namespace {

constexpr UINT kWakeMessage = WM_APP + 0x2F0;
constexpr LPCWSTR kWakeClass = L"DrovanBackendWake";

Win32Backend* g_backend = nullptr;

HWND Peer(const Window& w) { return static_cast<HWND>(w.peer); }

Text NativeText(HWND h) {
    int n = GetWindowTextLengthW(h);
    Text s(static_cast<size_t>(std::max(n, 0)) + 1, 0);
    int got = GetWindowTextW(h, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(got, 0)));
    return s;
}

LRESULT CALLBACK WakeProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m != kWakeMessage) return DefWindowProcW(h, m, wp, lp);
    // Posted and sent work is delivered from whichever loop dispatched the wake-up, as
    // Windows delivers posted and sent messages from a message box's loop too.
    if (g_backend) g_backend->Loop().DeliverQueued();
    return 0;
}

// The window that receives wake-ups: a message-only window of the GUI thread, so that posted
// work and the end of a modal loop are seen from inside any loop, a message box's included.
HWND MakeWakeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &WakeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWakeClass;
    RegisterClassW(&wc);
    return CreateWindowExW(0, kWakeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// A button the framework treats as a push button (Enter on it clicks it).
bool IsPushButton(const Window& w) {
    return w.kind == WindowKind::Button &&
           (w.ButtonType() == BS_PUSHBUTTON || w.ButtonType() == BS_DEFPUSHBUTTON);
}

}  // namespace

HWND NativeWindow(HWND modelHandle) {
    Window* w = FromHandle(modelHandle);
    return w && w->peer ? Peer(*w) : modelHandle;
}

Win32Backend::Win32Backend() { g_backend = this; }
Win32Backend::~Win32Backend() {
    if (g_backend == this) g_backend = nullptr;
}

Window* Win32Backend::ModelOf(HWND native) {
    auto it = m_byNative.find(native);
    return it == m_byNative.end() ? nullptr : it->second;
}

bool Win32Backend::Create(Window& d) {
    if (!m_wake) m_wake = MakeWakeWindow();  // on the GUI thread, whose loops dispatch its wake-ups
    std::vector<DWORD> tmpl = BuildDialogTemplateEx(d);
    HWND owner = nullptr;
    if (Window* o = FromHandle(d.owner)) owner = Peer(*o);
    HWND hDlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()), owner,
                                           &Win32Backend::DialogProc, reinterpret_cast<LPARAM>(&d));
    if (!hDlg) return false;
    d.peer = hDlg;
    m_byNative[hDlg] = &d;
    // A template's controls are the dialog's children in creation order.
    HWND child = GetWindow(hDlg, GW_CHILD);
    for (auto& c : d.children) {
        if (!child) break;
        c->peer = child;
        m_byNative[child] = c.get();
        child = GetWindow(child, GW_HWNDNEXT);
    }
    ++m_mirroring;
    for (auto& c : d.children) MirrorAll(*c);
    --m_mirroring;
    return true;
}

void Win32Backend::MirrorAll(Window& c) {
    if (!c.peer) return;
    Update(c, Change::Enabled);
    switch (c.kind) {
    case WindowKind::Button: Update(c, Change::Check); break;
    case WindowKind::ComboBox: Update(c, Change::Items); break;
    case WindowKind::Progress: Update(c, Change::Progress); break;
    case WindowKind::IpAddress: Update(c, Change::Address); break;
    case WindowKind::Static:
        if (c.image) Update(c, Change::Image);
        break;
    default: break;
    }
}

void Win32Backend::Destroy(Window& d) {
    HWND hDlg = Peer(d);
    if (!hDlg) return;
    // The owner is enabled again before its dialog goes, so that it is activated.
    if (Window* o = FromHandle(d.owner); o && o->peer) EnableWindow(Peer(*o), TRUE);
    for (auto& c : d.children) {
        m_byNative.erase(Peer(*c));
        c->peer = nullptr;
    }
    m_byNative.erase(hDlg);
    m_appliedFocus.erase(&d);
    d.peer = nullptr;
    DestroyWindow(hDlg);
}

void Win32Backend::Update(Window& w, Change what) {
    HWND h = Peer(w);
    if (!h) return;
    ++m_mirroring;
    switch (what) {
    case Change::Text:
        if (w.kind != WindowKind::ComboBox && w.kind != WindowKind::IpAddress && NativeText(h) != w.text)
            SetWindowTextW(h, w.text.c_str());
        break;
    case Change::Visible: ShowWindow(h, w.Visible() ? SW_SHOW : SW_HIDE); break;
    case Change::Enabled: EnableWindow(h, w.Enabled()); break;
    case Change::Check: SendMessageW(h, BM_SETCHECK, static_cast<WPARAM>(w.check), 0); break;
    case Change::Items:
        SendMessageW(h, CB_RESETCONTENT, 0, 0);
        for (const Text& item : w.items) SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(w.sel), 0);
        break;
    case Change::Selection: SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(w.sel), 0); break;
    case Change::Progress:
        SendMessageW(h, PBM_SETRANGE32, static_cast<WPARAM>(w.lo), static_cast<LPARAM>(w.hi));
        SendMessageW(h, PBM_SETPOS, static_cast<WPARAM>(w.pos), 0);
        break;
    case Change::Address: {
        const auto& a = w.address;
        if (std::all_of(a.begin(), a.end(), [](int f) { return f < 0; })) {
            SendMessageW(h, IPM_CLEARADDRESS, 0, 0);
        } else if (std::none_of(a.begin(), a.end(), [](int f) { return f < 0; })) {
            SendMessageW(h, IPM_SETADDRESS, 0,
                         static_cast<LPARAM>(MAKEIPADDRESS(a[0], a[1], a[2], a[3])));
        } else {
            SendMessageW(h, IPM_CLEARADDRESS, 0, 0);
            for (WPARAM i = 0; i < 4; ++i) {
                if (a[i] < 0) continue;
                // A field alone: the control's edits are its children, left to right.
                HWND field = GetWindow(h, GW_CHILD);
                for (WPARAM k = 0; field && k < i; ++k) field = GetWindow(field, GW_HWNDNEXT);
                if (field) SetWindowTextW(field, std::to_wstring(a[i]).c_str());
            }
        }
        break;
    }
    case Change::Image: {
        bool icon = (w.style & SS_TYPEMASK) == SS_ICON;
        SendMessageW(h, STM_SETIMAGE, icon ? IMAGE_ICON : IMAGE_BITMAP, reinterpret_cast<LPARAM>(w.image));
        break;
    }
    case Change::Icon:
        SendMessageW(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(w.bigIcon));
        SendMessageW(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(w.smallIcon ? w.smallIcon : w.bigIcon));
        break;
    case Change::Topmost:
        SetWindowPos(h, w.topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
    case Change::Menu:
        if (HMENU menu = GetSystemMenu(h, FALSE))
            EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (w.closeGrayed ? MF_GRAYED : MF_ENABLED));
        break;
    case Change::Iconic: ShowWindow(h, w.iconic ? SW_MINIMIZE : SW_RESTORE); break;
    case Change::Focus: ApplyFocus(w); break;
    }
    --m_mirroring;
}

INT_PTR CALLBACK Win32Backend::DialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        return FALSE;  // the framework's OnInitDialog has its own turn; focus stays native
    }
    auto* d = reinterpret_cast<Window*>(GetWindowLongPtrW(hDlg, DWLP_USER));
    if (!d || !g_backend || d->peer != hDlg) return FALSE;
    return g_backend->OnNative(*d, hDlg, msg, wParam, lParam);
}

INT_PTR Win32Backend::OnNative(Window& d, HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Messages that a dialog's message map may answer, with the native values translated.
    auto viaMap = [&](UINT m, WPARAM wp, LPARAM lp, LRESULT* result) -> bool {
        if (!d.wrapper) return false;
        try {
            return d.wrapper->DispatchThroughMap(m, wp, lp, result) != FALSE;
        } catch (CException* e) {
            MSG current{d.hwnd, m, wp, lp, 0, {0, 0}};
            if (CWinApp* app = AfxGetApp()) app->ProcessWndProcException(e, &current);
            e->Delete();
            return true;
        }
    };
    switch (msg) {
    case WM_COMMAND:
        OnNativeCommand(d, wParam, lParam);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            UserClose(d);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        UserClose(d);
        return TRUE;
    case WM_TIMER:
        Send(d, WM_TIMER, wParam, 0);
        return TRUE;
    case WM_PAINT: {
        LRESULT ignored = 0;
        viaMap(WM_PAINT, 0, 0, &ignored);
        d.needsPaint = false;
        // A handler that drew nothing (or passed the message on) still leaves the window
        // painted and valid, as the default window procedure does.
        if (GetUpdateRect(hDlg, nullptr, FALSE)) {
            PAINTSTRUCT ps;
            BeginPaint(hDlg, &ps);
            EndPaint(hDlg, &ps);
        }
        return TRUE;
    }
    case WM_ERASEBKGND: {
        LRESULT result = 0;
        if (!viaMap(msg, wParam, lParam, &result)) return FALSE;
        SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_QUERYDRAGICON: {
        LRESULT result = 0;
        if (!viaMap(msg, wParam, lParam, &result)) return FALSE;
        return static_cast<INT_PTR>(result);
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
        LRESULT result = 0;
        return viaMap(msg, wParam, lParam, &result) ? TRUE : FALSE;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        // The handler sees the model's control; the brush it returns is real.
        Window* control = ModelOf(reinterpret_cast<HWND>(lParam));
        LRESULT brush = 0;
        if (!viaMap(msg, wParam, reinterpret_cast<LPARAM>(control ? control->hwnd : d.hwnd), &brush)) return FALSE;
        return static_cast<INT_PTR>(brush);
    }
    default: return FALSE;
    }
}

void Win32Backend::OnNativeCommand(Window& d, WPARAM wParam, LPARAM lParam) {
    if (m_mirroring) return;  // our own CB_SETCURSEL, SetWindowText, ...
    WORD code = HIWORD(wParam);
    WORD id = LOWORD(wParam);
    Window* c = lParam ? ModelOf(reinterpret_cast<HWND>(lParam)) : nullptr;
    if (!c) {
        // A command with no control: IDCANCEL from the dialog manager, menu commands.
        if (id == IDCANCEL) UserKeyEscape(d);
        else if (id == IDOK) UserKeyEnter(d);
        else Send(d, WM_COMMAND, wParam, lParam);
        return;
    }
    switch (c->kind) {
    case WindowKind::Button:
        if (code == BN_CLICKED && c->Enabled()) UserClicked(*c);
        break;
    case WindowKind::ComboBox:
        if (code == CBN_SELCHANGE) {
            auto index = static_cast<int>(SendMessageW(Peer(*c), CB_GETCURSEL, 0, 0));
            UserSelected(*c, index);
        } else {
            Send(d, WM_COMMAND, MAKEWPARAM(c->id, code), reinterpret_cast<LPARAM>(c->hwnd));
        }
        break;
    case WindowKind::Edit:
    case WindowKind::IpAddress:
        if (code == EN_CHANGE) {
            Text typed = NativeText(Peer(*c));
            if (typed != WindowText(*c)) UserTyped(*c, typed);
        } else {
            Send(d, WM_COMMAND, MAKEWPARAM(c->id, code), reinterpret_cast<LPARAM>(c->hwnd));
        }
        break;
    default:
        Send(d, WM_COMMAND, MAKEWPARAM(c->id, code), reinterpret_cast<LPARAM>(c->hwnd));
        break;
    }
}

// Escape, Enter and Tab go to the framework, which knows the default button, Cancel and the
// tab order; the arrow keys stay the native dialog manager's, whose focus the model follows.
bool Win32Backend::OnKey(Window& d, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_ESCAPE && msg.wParam != VK_RETURN && msg.wParam != VK_TAB))
        return false;
    if (msg.hwnd != Peer(d) && !IsChild(Peer(d), msg.hwnd)) return false;
    Window* focused = NativeFocus();
    if (msg.wParam == VK_TAB) {
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
        if (focused && focused->kind == WindowKind::ComboBox && SendMessageW(Peer(*focused), CB_GETDROPPEDSTATE, 0, 0))
            return false;
        UserKeyTab(d, GetKeyState(VK_SHIFT) >= 0);
        return true;
    }
    if (msg.wParam == VK_ESCAPE) {
        // An open drop-down list closes first.
        if (focused && focused->kind == WindowKind::ComboBox && SendMessageW(Peer(*focused), CB_GETDROPPEDSTATE, 0, 0))
            return false;
        UserKeyEscape(d);
        return true;
    }
    if (focused && focused->kind == WindowKind::Edit && (focused->style & ES_WANTRETURN)) return false;
    if (focused && focused->kind == WindowKind::ComboBox && SendMessageW(Peer(*focused), CB_GETDROPPEDSTATE, 0, 0))
        return false;
    if (focused && IsPushButton(*focused) && focused->Enabled()) UserClicked(*focused);
    else UserKeyEnter(d);  // which beeps for a disabled default button
    return true;
}

Window* Win32Backend::NativeFocus() {
    HWND focus = GetFocus();
    Window* focused = ModelOf(focus);
    if (!focused && focus) focused = ModelOf(GetParent(focus));  // a combo box's or address's edit
    return focused;
}

// The model's focus on the native controls, once the dialog is active: a dialog behind a
// message box gets it when it is active again (FollowFocus).
void Win32Backend::ApplyFocus(Window& d) {
    HWND dlg = Peer(d);
    if (!dlg || GetActiveWindow() != dlg) return;
    m_appliedFocus[&d] = d.focus;
    Window* f = FocusOf(d);
    if (f && f->peer && GetFocus() != Peer(*f))
        SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Peer(*f)), TRUE);
}

// After each native message: a model focus not yet applied is applied; else the focus the
// user moved natively (a click, the arrow keys) moves the model's.
void Win32Backend::FollowFocus(Window& d) {
    if (!Peer(d) || GetActiveWindow() != Peer(d)) return;
    if (auto it = m_appliedFocus.find(&d); it == m_appliedFocus.end() || it->second != d.focus) {
        ApplyFocus(d);
        return;
    }
    Window* focused = NativeFocus();
    if (focused && focused->parent == &d && focused->hwnd != d.focus) UserFocused(*focused);
}

void Win32Backend::RunModalLoop(Window& d) {
    HWND owner = nullptr;
    if (Window* o = FromHandle(d.owner)) owner = Peer(*o);
    if (owner) EnableWindow(owner, FALSE);
    if (Peer(d)) SetForegroundWindow(Peer(d));
    ApplyFocus(d);  // over whatever the native dialog manager chose as it activated
    Backend::RunModalLoop(d);
    if (owner) EnableWindow(owner, TRUE);
}

// One native message at a time: the loop looks at its own queue, its paints and whether its
// dialog has ended after each. Timers are Windows' own (they arrive as messages here), so
// there is no machine-time deadline to wait for.
bool Win32Backend::WaitForInput(std::unique_lock<std::mutex>& lock, Window* d, sim::clock::Millis,
                                const std::function<bool()>&) {
    lock.unlock();
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    bool goOn = got > 0;
    if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
    if (goOn && !(d && OnKey(*d, msg)) && !(d && Peer(*d) && IsDialogMessageW(Peer(*d), &msg))) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (goOn && d) FollowFocus(*d);
    lock.lock();
    return goOn;
}

void Win32Backend::DialogEnded(Window& d) {
    if (Peer(d)) ShowWindow(Peer(d), SW_HIDE);
}

// Before the first dialog there is no loop to wake: it looks at its queue as it starts.
void Win32Backend::Wake() {
    if (HWND wake = m_wake) PostMessageW(wake, kWakeMessage, 0, 0);
}

void Win32Backend::Paint(Window& d) {
    // The native WM_PAINT, now rather than after the input waiting before it.
    if (Peer(d)) UpdateWindow(Peer(d));
    d.needsPaint = false;
}

void Win32Backend::SetTimer(Window& w, UINT_PTR id, UINT elapseMs) {
    if (Window* d = w.Dialog(); d && d->peer) ::SetTimer(Peer(*d), id, elapseMs, nullptr);
}

bool Win32Backend::KillTimer(Window& w, UINT_PTR id) {
    Window* d = w.Dialog();
    return d && d->peer && ::KillTimer(Peer(*d), id);
}

int Win32Backend::MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) {
    HWND native = owner ? Peer(*owner) : nullptr;
    return ::MessageBoxW(native, text.c_str(), caption.c_str(), type);
}

void Win32Backend::SetWaitCursor(bool on) {
    m_waitCursor = on;
    SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

void Win32Backend::Beep() { MessageBeep(MB_OK); }

POINT Win32Backend::BaseUnits(const res::DialogTemplate& t) {
    // The dialog manager's rule: the font's average width of the 52 Latin letters, rounded,
    // and its character height.
    HDC dc = GetDC(nullptr);
    HFONT font = nullptr;
    if (t.fontFace) {
        int height = -MulDiv(t.fontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72);
        font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, t.fontFace);
    }
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE size{};
    static const WCHAR kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, kLetters, 52, &size);
    SelectObject(dc, old);
    if (font) DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return POINT{std::max<LONG>(1, (size.cx / 26 + 1) / 2), std::max<LONG>(1, tm.tmHeight)};
}

void Win32Backend::Invalidate(Window& w) {
    if (Window* d = w.Dialog(); d && d->peer) InvalidateRect(Peer(*d), nullptr, TRUE);
    Loop().Invalidate(w);
}

}  // namespace drovan::ui::win32
