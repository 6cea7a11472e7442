#include "platform/ui/dialog_manager.h"

#include <algorithm>
#include <vector>

#include "platform/ui/backend.h"

namespace drovan::ui {

namespace {

void BeepIfBackend() {
    if (HasBackend()) CurrentBackend().Beep();
}

// The next control from `from` in tab order (round the dialog, `from` itself left out) that
// can take the focus, and is a tab stop when asked.
Window* NextFocusable(const Window& d, const Window* from, bool forward, bool tabStopsOnly) {
    const auto& c = d.children;
    const long n = static_cast<long>(c.size());
    long at = forward ? -1 : n;
    for (long i = 0; from && i < n; ++i)
        if (c[static_cast<size_t>(i)].get() == from) at = i;
    for (long k = 1; k <= n; ++k) {
        long i = ((at + (forward ? k : -k)) % n + n) % n;
        Window* w = c[static_cast<size_t>(i)].get();
        if (w == from || !CanTakeFocus(*w)) continue;
        if (!tabStopsOnly || (w->style & WS_TABSTOP)) return w;
    }
    return nullptr;
}

bool HasUsableTabStop(const Window& d) {
    for (auto& c : d.children)
        if ((c->style & WS_TABSTOP) && CanTakeFocus(*c)) return true;
    return false;
}

}  // namespace

const char* CancelIgnoredBecause(const Window& dialog) {
    Window* cancel = dialog.Child(IDCANCEL);
    return cancel && !cancel->Enabled() ? "Cancel disabled" : nullptr;
}

const char* CloseIgnoredBecause(const Window& dialog) {
    if (!(dialog.style & WS_SYSMENU)) return "no close box";
    if (dialog.closeGrayed) return "close box disabled";
    return CancelIgnoredBecause(dialog);
}

void UserKeyEscape(Window& dialog) {
    if (CancelIgnoredBecause(dialog)) {
        BeepIfBackend();
        return;
    }
    Window* cancel = dialog.Child(IDCANCEL);
    Send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel ? cancel->hwnd : nullptr));
}

bool UserKeyEnter(Window& dialog) {
    LRESULT def = Send(dialog, DM_GETDEFID, 0, 0);
    int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    Window* button = dialog.Child(id);
    if (button && !button->Enabled()) {
        BeepIfBackend();
        return false;
    }
    Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button ? button->hwnd : nullptr));
    return true;
}

void UserClose(Window& dialog) { Send(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

// ---- Focus ----

bool CanTakeFocus(const Window& c) {
    if (!c.Visible() || !c.Enabled()) return false;
    switch (c.kind) {
    case WindowKind::Button: return c.ButtonType() != BS_GROUPBOX;
    case WindowKind::Edit:
    case WindowKind::ComboBox:
    case WindowKind::IpAddress: return true;
    default: return false;
    }
}

Window* FocusOf(const Window& dialog) {
    if (!dialog.focus) return nullptr;
    for (auto& c : dialog.children)
        if (c->hwnd == dialog.focus) return c.get();
    return nullptr;
}

void SetFocusModel(Window& dialog, Window* control) {
    HWND h = control ? control->hwnd : nullptr;
    if (dialog.focus == h) return;
    dialog.focus = h;
    Changed(dialog, Change::Focus);
}

Window* NextTabStop(const Window& dialog, const Window* from, bool forward) {
    if (Window* w = NextFocusable(dialog, from, forward, true)) return w;
    if (HasUsableTabStop(dialog)) return nullptr;  // `from` is the only one
    return NextFocusable(dialog, from, forward, false);
}

void SetInitialFocus(Window& dialog) { SetFocusModel(dialog, NextTabStop(dialog, nullptr, true)); }

void FocusMovesOn(Window& control) {
    Window* d = control.parent;
    if (!d || d->focus != control.hwnd || CanTakeFocus(control)) return;
    SetFocusModel(*d, NextTabStop(*d, &control, true));
}

void UserKeyTab(Window& dialog, bool forward) {
    Window* from = FocusOf(dialog);
    if (Window* to = NextTabStop(dialog, from, forward)) SetFocusModel(dialog, to);
}

bool UserKeyArrow(Window& from, bool forward) {
    if (from.kind != WindowKind::Button || !from.parent) return false;
    std::vector<Window*> group = GroupOf(from, [](const Window& w) { return CanTakeFocus(w); });
    auto at = std::find(group.begin(), group.end(), &from);
    if (at == group.end() || group.size() < 2) return true;  // nothing else in the group: the focus stays
    size_t i = static_cast<size_t>(at - group.begin()), n = group.size();
    Window* to = group[forward ? (i + 1) % n : (i + n - 1) % n];
    SetFocusModel(*from.parent, to);
    // An automatic radio button reached by an arrow key checks itself, as a click would.
    if (to->kind == WindowKind::Button && to->ButtonType() == BS_AUTORADIOBUTTON && to->check != BST_CHECKED)
        UserClicked(*to);
    return true;
}

void UserFocused(Window& control) {
    if (control.parent && CanTakeFocus(control)) SetFocusModel(*control.parent, &control);
}

}  // namespace drovan::ui
