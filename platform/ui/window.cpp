#include "platform/ui/window.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/ui/backend.h"
#include "platform/ui/dialog_manager.h"
#include "platform/ui/text.h"

namespace drovan::ui {

namespace {

std::mutex g_handlesMutex;
std::unordered_map<HWND, Window*> g_windows;
std::atomic<uintptr_t> g_nextHandle{0x10000};
Backend* g_backend = nullptr;
std::mutex g_guiMutex;
std::thread::id g_guiThread;
bool g_guiThreadSet = false;

WindowKind KindOf(ControlKind k) {
    switch (k) {
    case ControlKind::Button: return WindowKind::Button;
    case ControlKind::Edit: return WindowKind::Edit;
    case ControlKind::Static: return WindowKind::Static;
    case ControlKind::ComboBox: return WindowKind::ComboBox;
    case ControlKind::Progress: return WindowKind::Progress;
    case ControlKind::IpAddress: return WindowKind::IpAddress;
    }
    return WindowKind::Static;
}

bool Checkable(const Window& w) {
    if (w.kind != WindowKind::Button) return false;
    switch (w.ButtonType()) {
    case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_RADIOBUTTON: case BS_3STATE:
    case BS_AUTO3STATE: case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

LRESULT CopyText(const Text& t, WPARAM cch, LPARAM buffer) {
    auto* out = reinterpret_cast<WCHAR*>(buffer);
    if (!out || cch == 0) return 0;
    size_t n = std::min(t.size(), static_cast<size_t>(cch) - 1);
    std::copy(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n), out);
    out[n] = 0;
    return static_cast<LRESULT>(n);
}

Text FromParam(LPARAM lp) {
    auto* s = reinterpret_cast<const WCHAR*>(lp);
    return s ? Text(s) : Text();
}

int FindItem(const Window& combo, WPARAM start, const Text& s, bool exact) {
    int n = static_cast<int>(combo.items.size());
    if (n == 0) return CB_ERR;
    int startAfter = static_cast<int>(static_cast<INT_PTR>(start));
    int first = (startAfter < 0 || startAfter >= n) ? 0 : startAfter + 1;
    for (int k = 0; k < n; ++k) {
        int i = (first + k) % n;
        const Text& item = combo.items[static_cast<size_t>(i)];
        bool match = exact ? text::CompareNoCaseOrdinal(item, s) == 0 : text::StartsWithNoCase(item, s);
        if (match) return i;
    }
    return CB_ERR;
}

LRESULT InsertItem(Window& combo, int index, const Text& s) {
    combo.items.insert(combo.items.begin() + index, s);
    combo.itemData.insert(combo.itemData.begin() + index, 0);
    if (combo.sel >= index) ++combo.sel;  // the selection stays on its item
    Changed(combo, Change::Items);
    return index;
}

int Clamp(const Window& p, int v) { return std::clamp(v, std::min(p.lo, p.hi), std::max(p.lo, p.hi)); }

LRESULT ComboProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
    int count = static_cast<int>(w.items.size());
    int index = static_cast<int>(static_cast<INT_PTR>(wp));
    switch (msg) {
    case CB_ADDSTRING: {
        Text s = FromParam(lp);
        int at = count;
        if (w.style & CBS_SORT) {
            // Before the first item that does not sort below the new one.
            auto it = std::lower_bound(w.items.begin(), w.items.end(), s, [](const Text& a, const Text& b) {
                return text::CollateNoCase(a, b) < 0;
            });
            at = static_cast<int>(it - w.items.begin());
        }
        return InsertItem(w, at, s);
    }
    case CB_INSERTSTRING:
        if (index == -1) index = count;
        if (index < 0 || index > count) return CB_ERR;
        return InsertItem(w, index, FromParam(lp));
    case CB_DELETESTRING:
        if (index < 0 || index >= count) return CB_ERR;
        w.items.erase(w.items.begin() + index);
        w.itemData.erase(w.itemData.begin() + index);
        if (w.sel == index) w.sel = CB_ERR;
        else if (w.sel > index) --w.sel;
        Changed(w, Change::Items);
        return count - 1;
    case CB_RESETCONTENT:
        w.items.clear();
        w.itemData.clear();
        w.sel = CB_ERR;
        Changed(w, Change::Items);
        return CB_OKAY;
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return w.sel;
    case CB_SETCURSEL:
        if (index < 0 || index >= count) {
            w.sel = CB_ERR;
            Changed(w, Change::Selection);
            return CB_ERR;
        }
        w.sel = index;
        Changed(w, Change::Selection);
        return index;
    case CB_GETLBTEXT:
        if (index < 0 || index >= count) return CB_ERR;
        if (auto* out = reinterpret_cast<WCHAR*>(lp)) {
            const Text& t = w.items[static_cast<size_t>(index)];
            std::copy(t.begin(), t.end(), out);
            out[t.size()] = 0;
        }
        return static_cast<LRESULT>(w.items[static_cast<size_t>(index)].size());
    case CB_GETLBTEXTLEN:
        if (index < 0 || index >= count) return CB_ERR;
        return static_cast<LRESULT>(w.items[static_cast<size_t>(index)].size());
    case CB_FINDSTRING: return FindItem(w, wp, FromParam(lp), false);
    case CB_FINDSTRINGEXACT: return FindItem(w, wp, FromParam(lp), true);
    case CB_SELECTSTRING: {
        int found = FindItem(w, wp, FromParam(lp), false);
        if (found != CB_ERR) {
            w.sel = found;
            Changed(w, Change::Selection);
        }
        return found;
    }
    case CB_GETITEMDATA:
        if (index < 0 || index >= count) return CB_ERR;
        return static_cast<LRESULT>(w.itemData[static_cast<size_t>(index)]);
    case CB_SETITEMDATA:
        if (index < 0 || index >= count) return CB_ERR;
        w.itemData[static_cast<size_t>(index)] = static_cast<DWORD_PTR>(lp);
        return CB_OKAY;
    case CB_SHOWDROPDOWN: return TRUE;
    case CB_GETDROPPEDSTATE: return FALSE;
    default: return 0;
    }
}

LRESULT ProgressProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case PBM_SETRANGE: {
        LRESULT previous = MAKELONG(w.lo, w.hi);
        w.lo = LOWORD(lp);
        w.hi = HIWORD(lp);
        w.pos = Clamp(w, w.pos);
        Changed(w, Change::Progress);
        return previous;
    }
    case PBM_SETRANGE32: {
        LRESULT previous = MAKELONG(w.lo, w.hi);
        w.lo = static_cast<int>(static_cast<INT_PTR>(wp));
        w.hi = static_cast<int>(lp);
        w.pos = Clamp(w, w.pos);
        Changed(w, Change::Progress);
        return previous;
    }
    case PBM_GETRANGE:
        if (auto* r = reinterpret_cast<PBRANGE*>(lp)) {
            r->iLow = w.lo;
            r->iHigh = w.hi;
        }
        return wp ? w.lo : w.hi;
    case PBM_SETPOS: {
        int previous = w.pos;
        w.pos = Clamp(w, static_cast<int>(static_cast<INT_PTR>(wp)));
        Changed(w, Change::Progress);
        return previous;
    }
    case PBM_DELTAPOS: {
        int previous = w.pos;
        w.pos = Clamp(w, w.pos + static_cast<int>(static_cast<INT_PTR>(wp)));
        Changed(w, Change::Progress);
        return previous;
    }
    case PBM_SETSTEP: {
        int previous = w.step;
        w.step = static_cast<int>(static_cast<INT_PTR>(wp));
        return previous;
    }
    case PBM_GETSTEP: return w.step;
    case PBM_GETPOS: return w.pos;
    case PBM_STEPIT: {
        // A step past the upper end starts the bar over from the lower end (and one
        // below the lower end, for a negative step, from the upper end).
        int previous = w.pos;
        int next = w.pos + w.step;
        if (next > w.hi) next = w.lo;
        else if (next < w.lo) next = w.hi;
        w.pos = next;
        Changed(w, Change::Progress);
        return previous;
    }
    default: return 0;
    }
}

LRESULT AddressProc(Window& w, UINT msg, WPARAM, LPARAM lp) {
    switch (msg) {
    case IPM_SETADDRESS: {
        DWORD a = static_cast<DWORD>(lp);
        w.address = {static_cast<int>(FIRST_IPADDRESS(a)), static_cast<int>(SECOND_IPADDRESS(a)),
                     static_cast<int>(THIRD_IPADDRESS(a)), static_cast<int>(FOURTH_IPADDRESS(a))};
        Changed(w, Change::Address);
        return TRUE;
    }
    case IPM_GETADDRESS: {
        DWORD a = 0;
        int filled = 0;
        for (int f : w.address) {
            a = (a << 8) | static_cast<DWORD>(f < 0 ? 0 : f);
            if (f >= 0) ++filled;
        }
        if (auto* out = reinterpret_cast<DWORD*>(lp)) *out = a;
        return filled;
    }
    case IPM_CLEARADDRESS:
        w.address = {-1, -1, -1, -1};
        Changed(w, Change::Address);
        return 0;
    case IPM_ISBLANK:
        return std::all_of(w.address.begin(), w.address.end(), [](int f) { return f < 0; });
    case IPM_SETRANGE:
    case IPM_SETFOCUS:
        return TRUE;
    default: return 0;
    }
}

// A button's check state. A radio button is a tab stop while it is checked and only then,
// as BM_SETCHECK makes it, so that Tab reaches a radio group on its checked button.
void SetCheck(Window& b, int check) {
    DWORD type = b.ButtonType();
    if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
        b.style = check ? (b.style | WS_TABSTOP) : (b.style & ~static_cast<DWORD>(WS_TABSTOP));
    if (b.check == check) return;
    b.check = check;
    Changed(b, Change::Check);
}

LRESULT ButtonProc(Window& w, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case BM_GETCHECK: return Checkable(w) ? w.check : BST_UNCHECKED;
    case BM_SETCHECK:
        if (Checkable(w)) {
            int check = static_cast<int>(wp) & 3;
            if (w.check == check) Changed(w, Change::Check);  // told again, as before
            SetCheck(w, check);
        }
        return 0;
    case BM_GETSTATE: return (Checkable(w) ? w.check : 0) | (w.pressed ? BST_PUSHED : 0);
    case BM_SETSTATE: w.pressed = wp != 0; return 0;
    case BM_SETSTYLE:
        w.style = (w.style & 0xFFFF0000u) | LOWORD(wp);
        Changed(w, Change::Check);
        return 0;
    case BM_CLICK:
        if (w.Enabled() && w.ButtonType() != BS_GROUPBOX) UserClicked(w);
        return 0;
    case WM_LBUTTONDOWN:
        if (w.Enabled() && w.ButtonType() != BS_GROUPBOX) {
            w.pressed = true;
            UserFocused(w);  // a button pressed with the mouse takes the focus
        }
        return 0;
    case WM_LBUTTONUP:
        if (w.pressed) {
            w.pressed = false;
            if (w.Enabled()) UserClicked(w);
        }
        return 0;
    default: return 0;
    }
}

LRESULT DialogProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE: {
        // The close box acts as Cancel, unless the Cancel button is disabled.
        if (CancelIgnoredBecause(w)) {
            if (HasBackend()) CurrentBackend().Beep();
            return 0;
        }
        Window* cancel = w.Child(IDCANCEL);
        CurrentBackend().Post(w.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                              reinterpret_cast<LPARAM>(cancel ? cancel->hwnd : nullptr));
        return 0;
    }
    case WM_SYSCOMMAND:
        switch (wp & 0xFFF0) {
        case SC_CLOSE:
            if (w.closeGrayed || !(w.style & WS_SYSMENU)) return 0;
            return Send(w, WM_CLOSE, 0, 0);
        case SC_MINIMIZE:
            w.iconic = true;
            Changed(w, Change::Iconic);
            if (HasBackend()) CurrentBackend().Invalidate(w);
            return 0;
        case SC_RESTORE:
            w.iconic = false;
            Changed(w, Change::Iconic);
            if (HasBackend()) CurrentBackend().Invalidate(w);
            return 0;
        default: return 0;
        }
    case DM_GETDEFID: {
        int id = w.defId;
        if (!id)
            for (auto& c : w.children)
                if (c->kind == WindowKind::Button && c->ButtonType() == BS_DEFPUSHBUTTON) {
                    id = c->id;
                    break;
                }
        return id ? MAKELONG(id, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID:
        w.defId = static_cast<int>(wp);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(w.hwnd, &ps);
        EndPaint(w.hwnd, &ps);
        return 0;
    }
    case WM_ICONERASEBKGND:
    case WM_ERASEBKGND:
        return 1;
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(w.bigIcon);
    case WM_SETICON: {
        HICON previous = wp == ICON_BIG ? w.bigIcon : w.smallIcon;
        (wp == ICON_BIG ? w.bigIcon : w.smallIcon) = reinterpret_cast<HICON>(lp);
        Changed(w, Change::Icon);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON: return reinterpret_cast<LRESULT>(wp == ICON_BIG ? w.bigIcon : w.smallIcon);
    case WM_INITDIALOG: return TRUE;
    default: return 0;
    }
}

}  // namespace

Window* Window::Child(int childId) const {
    for (auto& c : children)
        if (c->id == childId) return c.get();
    return nullptr;
}

uintptr_t NewHandleValue() { return g_nextHandle.fetch_add(4); }

Window* FromHandle(HWND hwnd) {
    std::lock_guard lock(g_handlesMutex);
    auto it = g_windows.find(hwnd);
    return it == g_windows.end() ? nullptr : it->second;
}

HWND Register(Window* w) {
    HWND h = reinterpret_cast<HWND>(NewHandleValue());
    std::lock_guard lock(g_handlesMutex);
    g_windows[h] = w;
    w->hwnd = h;
    return h;
}

void Unregister(Window* w) {
    for (auto& c : w->children) Unregister(c.get());
    WindowDestroyed(*w);
    std::lock_guard lock(g_handlesMutex);
    g_windows.erase(w->hwnd);
}

std::unique_ptr<Window> BuildDialog(const res::DialogTemplate& t, HWND owner) {
    auto d = std::make_unique<Window>();
    d->kind = WindowKind::Dialog;
    d->tmpl = &t;
    d->id = t.id;
    d->style = t.style & ~WS_VISIBLE;  // shown once initialised
    d->exStyle = t.exStyle;
    d->dlu = {t.x, t.y, t.x + t.cx, t.y + t.cy};
    d->text = t.caption ? t.caption : Text();
    d->owner = owner;
    d->topmost = (t.exStyle & WS_EX_TOPMOST) != 0;
    Register(d.get());
    for (const auto& ct : t.controls) {
        auto c = std::make_unique<Window>();
        c->kind = KindOf(ct.kind);
        c->parent = d.get();
        c->id = ct.id;
        c->style = ct.style | WS_CHILD | (ct.hidden ? 0 : WS_VISIBLE) | (ct.disabled ? WS_DISABLED : 0);
        c->exStyle = ct.exStyle;
        c->dlu = {ct.x, ct.y, ct.x + ct.cx, ct.y + ct.cy};
        c->text = ct.text ? ct.text : Text();
        if (c->kind == WindowKind::Static && ct.image) {
            DWORD type = ct.style & SS_TYPEMASK;
            if (type == SS_BITMAP) c->image = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ct.image));
            else if (type == SS_ICON) c->image = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ct.image));
        }
        if (c->kind == WindowKind::IpAddress) ParseAddress(c->text, c->address);
        Register(c.get());
        d->children.push_back(std::move(c));
    }
    return d;
}

LRESULT Send(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!OnGuiThread() && HasBackend()) return CurrentBackend().SendFromOtherThread(w, msg, wParam, lParam);
    if (w.wrapper) return CallWrapper(w, msg, wParam, lParam);
    return DefaultProc(w, msg, wParam, lParam);
}

Text WindowText(const Window& w) {
    if (w.kind == WindowKind::ComboBox)
        return w.sel >= 0 && w.sel < static_cast<int>(w.items.size()) ? w.items[static_cast<size_t>(w.sel)] : Text();
    if (w.kind == WindowKind::IpAddress) return AddressText(w);
    return w.text;
}

LRESULT DefaultProc(Window& w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETTEXT:
        if (w.kind == WindowKind::IpAddress) {
            if (!ParseAddress(FromParam(lp), w.address)) w.address = {-1, -1, -1, -1};
            Changed(w, Change::Address);
            return TRUE;
        }
        if (w.kind == WindowKind::ComboBox) {
            // A drop-down list shows only its items: the text selects the matching one.
            int found = FindItem(w, static_cast<WPARAM>(-1), FromParam(lp), true);
            w.sel = found;
            Changed(w, Change::Selection);
            return found == CB_ERR ? CB_ERR : TRUE;
        }
        w.text = FromParam(lp);
        Changed(w, Change::Text);
        return TRUE;
    case WM_GETTEXT: return CopyText(WindowText(w), wp, lp);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(WindowText(w).size());
    default: break;
    }
    switch (w.kind) {
    case WindowKind::Dialog: return DialogProc(w, msg, wp, lp);
    case WindowKind::Button: return ButtonProc(w, msg, wp, lp);
    case WindowKind::ComboBox: return ComboProc(w, msg, wp, lp);
    case WindowKind::Progress: return ProgressProc(w, msg, wp, lp);
    case WindowKind::IpAddress: return AddressProc(w, msg, wp, lp);
    case WindowKind::Static:
        switch (msg) {
        case STM_SETIMAGE: case STM_SETICON: {
            HANDLE previous = w.image;
            w.image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? static_cast<LPARAM>(wp) : lp);
            Changed(w, Change::Image);
            return reinterpret_cast<LRESULT>(previous);
        }
        case STM_GETIMAGE: case STM_GETICON: return reinterpret_cast<LRESULT>(w.image);
        default: return 0;
        }
    case WindowKind::Edit:
        switch (msg) {
        case EM_SETREADONLY:
            w.style = wp ? (w.style | ES_READONLY) : (w.style & ~static_cast<DWORD>(ES_READONLY));
            return TRUE;
        case EM_REPLACESEL:
            w.text += FromParam(lp);
            Changed(w, Change::Text);
            return 0;
        case EM_GETLINECOUNT:
            return 1 + std::count(w.text.begin(), w.text.end(), WCHAR('\n'));
        default: return 0;
        }
    }
    return 0;
}

std::vector<Window*> GroupOf(Window& control, const std::function<bool(const Window&)>& keep) {
    std::vector<Window*> group;
    if (!control.parent) return group;
    auto& sib = control.parent->children;
    size_t index = 0;
    while (index < sib.size() && sib[index].get() != &control) ++index;
    if (index == sib.size()) return group;
    size_t start = index;
    while (start > 0 && !(sib[start]->style & WS_GROUP)) --start;
    size_t end = index + 1;
    while (end < sib.size() && !(sib[end]->style & WS_GROUP)) ++end;
    for (size_t i = start; i < end; ++i)
        if (keep(*sib[i])) group.push_back(sib[i].get());
    return group;
}

std::vector<Window*> GroupOf(Window& button) {
    // The dialog manager walks the group's visible, enabled controls.
    return GroupOf(button, [](const Window& w) {
        return w.kind == WindowKind::Button && w.ButtonType() == BS_AUTORADIOBUTTON && w.Visible() && w.Enabled();
    });
}

void UserClicked(Window& b) {
    if (!b.Enabled() || b.kind != WindowKind::Button) return;
    switch (b.ButtonType()) {
    case BS_GROUPBOX: return;
    case BS_AUTOCHECKBOX:
        SetCheck(b, b.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
        break;
    case BS_AUTO3STATE:
        SetCheck(b, (b.check + 1) % 3);
        break;
    case BS_AUTORADIOBUTTON:
        // Every other radio button of the group is told it is unchecked, as Windows does.
        for (Window* other : GroupOf(b))
            if (other != &b) SetCheck(*other, BST_UNCHECKED);
        if (b.check == BST_CHECKED) Changed(b, Change::Check);  // a click on the checked one, as before
        SetCheck(b, BST_CHECKED);
        break;
    default: break;
    }
    if (b.parent)
        Send(*b.parent, WM_COMMAND, MAKEWPARAM(b.id, BN_CLICKED), reinterpret_cast<LPARAM>(b.hwnd));
}

void UserSelected(Window& combo, int index) {
    if (index < 0 || index >= static_cast<int>(combo.items.size())) return;
    combo.sel = index;
    Changed(combo, Change::Selection);
    if (combo.parent)
        Send(*combo.parent, WM_COMMAND, MAKEWPARAM(combo.id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo.hwnd));
}

void UserTyped(Window& control, const Text& value) {
    if (control.kind == WindowKind::IpAddress) {
        ParseAddress(value, control.address);
        Changed(control, Change::Address);
    } else {
        control.text = value;
        Changed(control, Change::Text);
    }
    if (control.parent)
        Send(*control.parent, WM_COMMAND, MAKEWPARAM(control.id, EN_CHANGE), reinterpret_cast<LPARAM>(control.hwnd));
}

void Changed(Window& w, Change what) {
    if (HasBackend()) CurrentBackend().Update(w, what);
}

POINT BaseUnits(const Window& dialog) {
    const Window* d = dialog.kind == WindowKind::Dialog ? &dialog : dialog.parent;
    if (d && d->tmpl && HasBackend()) return CurrentBackend().BaseUnits(*d->tmpl);
    return POINT{6, 13};
}

RECT ToPixels(const Window& dialog, const RECT& r) {
    POINT b = BaseUnits(dialog);
    return RECT{MulDiv(r.left, b.x, 4), MulDiv(r.top, b.y, 8), MulDiv(r.right, b.x, 4), MulDiv(r.bottom, b.y, 8)};
}

Text AddressText(const Window& ip) {
    Text out;
    for (size_t i = 0; i < ip.address.size(); ++i) {
        if (i) out += WCHAR('.');
        if (ip.address[i] >= 0) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%d", ip.address[i]);
            for (char* p = buf; *p; ++p) out += static_cast<WCHAR>(*p);
        }
    }
    return out;
}

bool ParseAddress(const Text& s, std::array<int, 4>& fields) {
    std::array<int, 4> parsed{-1, -1, -1, -1};
    size_t field = 0;
    int digits = 0;
    for (WCHAR c : s) {
        if (c == '.') {
            if (++field >= 4) return false;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 3) return false;
            int v = (parsed[field] < 0 ? 0 : parsed[field]) * 10 + (c - '0');
            parsed[field] = std::min(v, 255);  // the control limits a field to 255
        } else {
            return false;
        }
    }
    if (!s.empty() && field != 3) return false;
    fields = parsed;
    return true;
}

int ShowMessageBox(HWND owner, LPCWSTR textIn, LPCWSTR caption, UINT type) {
    Window* w = owner ? FromHandle(owner) : nullptr;
    if (w && w->kind != WindowKind::Dialog) w = w->parent;
    Text t = textIn ? Text(textIn) : Text();
    Text c = caption ? Text(caption) : Text(TEXT("Error"));
    if (!HasBackend()) {
        std::fprintf(stderr, "message box without a dialog backend: %s\n", text::ToUtf8(t).c_str());
        return MessageBoxDefault(type);
    }
    return CurrentBackend().MessageBox(w, t, c, type);
}

// ---- Backend registry and the GUI thread ----

Backend& CurrentBackend() { return *g_backend; }
void SetBackend(Backend* backend) { g_backend = backend; }
bool HasBackend() { return g_backend != nullptr; }

bool OnGuiThread() {
    std::lock_guard lock(g_guiMutex);
    return !g_guiThreadSet || g_guiThread == std::this_thread::get_id();
}

void SetGuiThreadToCurrent() {
    std::lock_guard lock(g_guiMutex);
    g_guiThread = std::this_thread::get_id();
    g_guiThreadSet = true;
}

std::vector<int> MessageBoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {IDOK};
    }
}

int MessageBoxDefault(UINT type) {
    auto buttons = MessageBoxButtons(type);
    size_t index = (type & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

const char* ButtonName(int id) {
    switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "CANCEL";
    case IDABORT: return "ABORT";
    case IDRETRY: return "RETRY";
    case IDIGNORE: return "IGNORE";
    case IDYES: return "YES";
    case IDNO: return "NO";
    case IDCLOSE: return "CLOSE";
    case IDHELP: return "HELP";
    case IDTRYAGAIN: return "TRYAGAIN";
    case IDCONTINUE: return "CONTINUE";
    default: return "?";
    }
}

int ButtonFromName(const std::string& name) {
    for (int id = IDOK; id <= IDCONTINUE; ++id)
        if (name == ButtonName(id)) return id;
    return 0;
}

const char* IconName(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONASTERISK: return "information";
    default: return "none";
    }
}

}  // namespace drovan::ui

namespace drovan::ui {

namespace {
std::mutex g_menuMutex;
std::unordered_map<HMENU, HWND> g_menus;
std::unordered_map<HWND, HMENU> g_menuOf;
std::mutex g_modalMutex;
std::vector<Window*> g_modal;
}  // namespace

BOOL ShowWindowModel(Window& w, int cmd) {
    BOOL wasVisible = w.Visible();
    switch (cmd) {
    case SW_HIDE:
        w.style &= ~WS_VISIBLE;
        break;
    case SW_MINIMIZE: case SW_SHOWMINIMIZED: case SW_SHOWMINNOACTIVE:
        w.style |= WS_VISIBLE;
        if (w.kind == WindowKind::Dialog) {
            w.iconic = true;
            Changed(w, Change::Iconic);
        }
        break;
    case SW_RESTORE: case SW_SHOWNORMAL:
        w.style |= WS_VISIBLE;
        if (w.kind == WindowKind::Dialog && w.iconic) {
            w.iconic = false;
            Changed(w, Change::Iconic);
        }
        break;
    default:
        w.style |= WS_VISIBLE;
        break;
    }
    if (wasVisible != w.Visible()) {
        Changed(w, Change::Visible);
        FocusMovesOn(w);
    }
    if (HasBackend() && w.Dialog() && w.Dialog()->Visible()) CurrentBackend().Invalidate(*w.Dialog());
    return wasVisible;
}

BOOL EnableWindowModel(Window& w, BOOL enable) {
    BOOL wasDisabled = !w.Enabled();
    if (enable) w.style &= ~WS_DISABLED;
    else w.style |= WS_DISABLED;
    if (wasDisabled != !w.Enabled()) {
        Changed(w, Change::Enabled);
        FocusMovesOn(w);
    }
    return wasDisabled;
}

BOOL SetWindowPosModel(Window& w, HWND insertAfter, UINT flags) {
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) w.topmost = true;
        else if (insertAfter == HWND_NOTOPMOST) w.topmost = false;
        Changed(w, Change::Topmost);
    }
    if (flags & SWP_SHOWWINDOW) ShowWindowModel(w, SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindowModel(w, SW_HIDE);
    return TRUE;
}

RECT ClientRect(const Window& w) {
    const Window* d = w.kind == WindowKind::Dialog ? &w : w.parent;
    RECT r = d ? ToPixels(*d, w.dlu) : w.dlu;
    return RECT{0, 0, r.right - r.left, r.bottom - r.top};
}

void EndDialogModel(Window& dialog, INT_PTR code) {
    bool first = !dialog.ended;
    dialog.endCode = code;
    dialog.ended = true;
    if (dialog.Visible()) {
        dialog.style &= ~WS_VISIBLE;
        Changed(dialog, Change::Visible);
    }
    if (first && HasBackend()) {
        CurrentBackend().DialogEnded(dialog);
        CurrentBackend().Loop().Wake();
    }
}

HMENU SystemMenuOf(Window& dialog) {
    if (dialog.kind != WindowKind::Dialog || !(dialog.style & WS_SYSMENU)) return nullptr;
    std::lock_guard lock(g_menuMutex);
    auto it = g_menuOf.find(dialog.hwnd);
    if (it != g_menuOf.end()) return it->second;
    HMENU m = reinterpret_cast<HMENU>(NewHandleValue());
    g_menus[m] = dialog.hwnd;
    g_menuOf[dialog.hwnd] = m;
    return m;
}

Window* WindowOfMenu(HMENU menu) {
    HWND h;
    {
        std::lock_guard lock(g_menuMutex);
        auto it = g_menus.find(menu);
        if (it == g_menus.end()) return nullptr;
        h = it->second;
    }
    return FromHandle(h);
}

UINT EnableMenuItemModel(Window& dialog, UINT item, UINT flags) {
    if (flags & MF_BYPOSITION) return static_cast<UINT>(-1);
    switch (item) {
    case SC_CLOSE: {
        UINT previous = dialog.closeGrayed ? MF_GRAYED : MF_ENABLED;
        dialog.closeGrayed = (flags & (MF_GRAYED | MF_DISABLED)) != 0;
        Changed(dialog, Change::Menu);
        return previous;
    }
    case SC_MOVE: case SC_RESTORE: case SC_MINIMIZE: case SC_MAXIMIZE: case SC_SIZE:
        return MF_ENABLED;
    default:
        return static_cast<UINT>(-1);  // no such item
    }
}

void ForgetMenu(HWND hwnd) {
    std::lock_guard lock(g_menuMutex);
    auto it = g_menuOf.find(hwnd);
    if (it == g_menuOf.end()) return;
    g_menus.erase(it->second);
    g_menuOf.erase(it);
}

void PushModal(Window* dialog) {
    std::lock_guard lock(g_modalMutex);
    g_modal.push_back(dialog);
}

void PopModal(Window* dialog) {
    std::lock_guard lock(g_modalMutex);
    g_modal.erase(std::remove(g_modal.begin(), g_modal.end(), dialog), g_modal.end());
    ForgetMenu(dialog->hwnd);
}

Window* ActiveDialog() {
    std::lock_guard lock(g_modalMutex);
    for (auto it = g_modal.rbegin(); it != g_modal.rend(); ++it)
        if (!(*it)->ended) return *it;
    return nullptr;
}

}  // namespace drovan::ui
