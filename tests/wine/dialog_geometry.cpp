// drovan-dialog-geometry.exe ID [--window | --point CONTROL]: reads the rectangles of the controls of the program's dialog
// with template ID, as it is on the screen now (another process's window, found among the
// desktop's dialogs as the one holding every control the template names), through the Win32
// API, and checks each against the template's rectangle converted with the dialog's base
// units. The base units are worked out here from the template's font by Windows' rule (the
// average width of the 52 letters and the font's height), not asked of the dialog. A
// drop-down combo box is as high as its closed box, at most its template height (which
// includes the list). A picture static (SS_BITMAP) takes its bitmap's size, as Windows sizes it
// when the picture is set, unless it has SS_REALSIZECONTROL or SS_CENTERIMAGE.
//
// Prints one line per control that is elsewhere; exit status 0 when every control and the
// dialog's client area are where the template puts them, 1 when not, 2 when no such dialog
// is on the screen. With --window it prints the dialog's window rectangle on the screen
// ("X Y WIDTH HEIGHT"), with --point the middle of that control on the screen ("X Y"), for
// the tests to capture the dialog and click its controls.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "res/dialog_template.h"

namespace {

struct Search {
    const drovan::res::DialogTemplate* t;
    HWND found;
};

bool HoldsEveryControl(HWND dialog, const drovan::res::DialogTemplate& t) {
    for (const auto& c : t.controls)
        if (c.id != IDC_STATIC && !GetDlgItem(dialog, c.id)) return false;
    return !t.controls.empty();
}

BOOL CALLBACK Visit(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (IsWindowVisible(window) && lstrcmpW(cls, L"#32770") == 0 && HoldsEveryControl(window, *search->t)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The pixel size of a picture static's bitmap when the control takes it, else nullopt.
bool PictureSize(const drovan::res::ControlTemplate& c, SIZE* size) {
    if (c.kind != drovan::res::ControlKind::Static || (c.style & SS_TYPEMASK) != SS_BITMAP ||
        (c.style & (SS_REALSIZECONTROL | SS_CENTERIMAGE)))
        return false;
    // The program's pictures are resources of its module, and of this one (linked with them).
    HANDLE picture = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(c.image), IMAGE_BITMAP, 0, 0, 0);
    BITMAP bm = {};
    bool ok = picture && GetObjectW(picture, sizeof bm, &bm) == sizeof bm;
    if (picture) DeleteObject(picture);
    if (ok) *size = SIZE{bm.bmWidth, bm.bmHeight};
    return ok;
}

POINT BaseUnits(const drovan::res::DialogTemplate& t) {
    HDC dc = GetDC(nullptr);
    HFONT font = nullptr;
    if (t.fontFace) {
        font = CreateFontW(-MulDiv(t.fontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                           FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, t.fontFace);
    }
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SIZE size = {};
    const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, letters, 52, &size);
    SelectObject(dc, old);
    if (font) DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return POINT{(size.cx / 26 + 1) / 2, tm.tmHeight};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool window = argc == 3 && lstrcmpW(argv[2], L"--window") == 0;
    bool point = argc == 4 && lstrcmpW(argv[2], L"--point") == 0;
    if (argc != 2 && !window && !point) {
        std::fprintf(stderr, "usage: drovan-dialog-geometry TEMPLATE-ID [--window | --point CONTROL-ID]\n");
        return 2;
    }
    const drovan::res::DialogTemplate* t = drovan::res::FindDialogTemplate(_wtoi(argv[1]));
    if (!t) {
        std::fprintf(stderr, "drovan-dialog-geometry: no template %ls\n", argv[1]);
        return 2;
    }
    Search search{t, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::printf("dialog %d: not on the screen\n", t->id);
        return 2;
    }
    HWND dialog = search.found;
    if (window) {
        RECT r = {};
        GetWindowRect(dialog, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (point) {
        HWND control = GetDlgItem(dialog, _wtoi(argv[3]));
        RECT r = {};
        if (!control || !GetWindowRect(control, &r)) {
            std::printf("control %ls: not in dialog %d\n", argv[3], t->id);
            return 2;
        }
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    POINT bu = BaseUnits(*t);
    auto px = [&](int du, bool vertical) { return MulDiv(du, vertical ? bu.y : bu.x, vertical ? 8 : 4); };
    int failures = 0;
    RECT client = {};
    GetClientRect(dialog, &client);
    if (client.right != px(t->cx, false) || client.bottom != px(t->cy, true)) {
        std::printf("dialog %d: client area %ldx%ld, template %dx%d\n", t->id, client.right, client.bottom,
                    px(t->cx, false), px(t->cy, true));
        ++failures;
    }
    // The template's controls are the dialog's children in creation order.
    HWND child = GetWindow(dialog, GW_CHILD);
    size_t checked = 0;
    for (const auto& c : t->controls) {
        if (!child) {
            std::printf("control %d: missing\n", c.id);
            ++failures;
            break;
        }
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        int left = px(c.x, false), top = px(c.y, true);
        int right = left + px(c.cx, false), bottom = top + px(c.cy, true);
        SIZE picture;
        if (PictureSize(c, &picture)) {
            right = left + picture.cx;
            bottom = top + picture.cy;
        }
        bool combo = c.kind == drovan::res::ControlKind::ComboBox;
        int id = GetDlgCtrlID(child);
        bool heightOk = combo ? (r.bottom <= bottom && r.bottom - r.top >= bu.y + 4) : r.bottom == bottom;
        if (id != c.id || r.left != left || r.top != top || r.right != right || !heightOk) {
            std::printf("control %d (window ID %d): at %ld,%ld-%ld,%ld, template %d,%d-%d,%d%s\n", c.id, id, r.left, r.top,
                        r.right, r.bottom, left, top, right, bottom, combo ? " (combo box: bottom at most)" : "");
            ++failures;
        }
        ++checked;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    std::printf("dialog %d: %zu controls checked, base units %ldx%ld, client %ldx%ld, %d elsewhere\n", t->id, checked,
                bu.x, bu.y, client.right, client.bottom, failures);
    return failures ? 1 : 0;
}
