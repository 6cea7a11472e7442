// GDI32 on the simulated machine: bitmaps and icons from the program's resources, and
// device contexts that record what is drawn into a display list for the dialog backend.
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/ui/backend.h"
#include "platform/ui/window.h"
#include "res/dialog_template.h"

using namespace drovan::ui;

namespace {

struct Bitmap {
    int resId = 0;
    LONG width = 1, height = 1;
    WORD bitsPerPixel = 1;
};

struct Dc {
    HWND window = nullptr;       // nullptr for a memory DC
    HGDIOBJ bitmap = nullptr;    // the selected bitmap
    HGDIOBJ otherObject = nullptr;
    PaintList ops;
    int stretchMode = BLACKONWHITE, bkMode = OPAQUE;
    COLORREF textColor = RGB(0, 0, 0), bkColor = RGB(255, 255, 255);
};

std::recursive_mutex g_mutex;
std::unordered_map<HGDIOBJ, Bitmap> g_bitmaps;
std::unordered_map<HDC, Dc> g_dcs;
std::unordered_map<HWND, HDC> g_windowDcs;
std::unordered_map<int, HICON> g_icons;         // resource ID -> handle
std::unordered_map<HICON, int> g_iconIds;
HGDIOBJ g_stockBitmap = nullptr;

template <typename H>
H NewHandle() { return reinterpret_cast<H>(NewHandleValue()); }

uint32_t Le32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Reads a BMP file's size and depth from its headers.
bool ParseBmp(const BYTE* data, size_t size, Bitmap& out) {
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t headerSize = Le32(data + 14);
    if (headerSize == 12) {
        out.width = Le16(data + 18);
        out.height = Le16(data + 20);
        out.bitsPerPixel = Le16(data + 24);
        return true;
    }
    if (headerSize < 40 || size < 30) return false;
    out.width = static_cast<LONG>(Le32(data + 18));
    int32_t h = static_cast<int32_t>(Le32(data + 22));
    out.height = h < 0 ? -h : h;
    out.bitsPerPixel = Le16(data + 28);
    return true;
}

HGDIOBJ StockBitmap() {
    if (!g_stockBitmap) {
        g_stockBitmap = NewHandle<HGDIOBJ>();
        g_bitmaps[g_stockBitmap] = Bitmap{};
    }
    return g_stockBitmap;
}

HDC WindowDc(HWND hwnd) {
    auto it = g_windowDcs.find(hwnd);
    if (it != g_windowDcs.end()) return it->second;
    HDC h = NewHandle<HDC>();
    Dc dc;
    dc.window = hwnd;
    dc.bitmap = StockBitmap();
    g_dcs[h] = dc;
    g_windowDcs[hwnd] = h;
    return h;
}

Dc* FindDc(HDC h) {
    auto it = g_dcs.find(h);
    return it == g_dcs.end() ? nullptr : &it->second;
}

void Record(HDC hdc, const PaintOp& op) {
    if (Dc* dc = FindDc(hdc); dc && dc->window) dc->ops.push_back(op);
}

void Present(HDC hdc) {
    Dc* dc = FindDc(hdc);
    if (!dc || !dc->window) return;
    PaintList ops;
    ops.swap(dc->ops);
    if (Window* w = FromHandle(dc->window); w && HasBackend()) CurrentBackend().Present(*w, ops);
}

}  // namespace

HICON LoadIconW(HINSTANCE, LPCWSTR lpIconName) {
    if (!IS_INTRESOURCE(lpIconName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    int id = LOWORD(lpIconName);
    if (id != 32512 && !drovan::res::FindIcon(id)) {  // 32512: the standard application icon
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    HICON& h = g_icons[id];
    if (!h) {
        h = NewHandle<HICON>();
        g_iconIds[h] = id;
    }
    return h;
}

int drovan::ui::ImageResourceId(HANDLE image) {
    if (!image) return 0;
    std::lock_guard lock(g_mutex);
    if (auto it = g_bitmaps.find(image); it != g_bitmaps.end()) return it->second.resId;
    if (auto it = g_iconIds.find(static_cast<HICON>(image)); it != g_iconIds.end()) return it->second;
    return 0;
}

BOOL DestroyIcon(HICON) { return TRUE; }  // shared resource icons stay valid

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR lpCursorName) {
    static HCURSOR arrow = NewHandle<HCURSOR>(), wait = NewHandle<HCURSOR>();
    return lpCursorName == IDC_WAIT ? wait : arrow;
}

HCURSOR SetCursor(HCURSOR hCursor) {
    static HCURSOR current = nullptr;
    HCURSOR previous = current;
    current = hCursor;
    return previous;
}

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR lpBitmapName) {
    const drovan::res::BitmapResource* r =
        IS_INTRESOURCE(lpBitmapName) ? drovan::res::FindBitmap(LOWORD(lpBitmapName)) : nullptr;
    Bitmap b;
    if (!r || !ParseBmp(r->bmp, r->size, b)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    b.resId = r->id;
    std::lock_guard lock(g_mutex);
    HGDIOBJ h = NewHandle<HGDIOBJ>();
    g_bitmaps[h] = b;
    return static_cast<HBITMAP>(h);
}

int GetObjectW(HANDLE h, int c, LPVOID pv) {
    std::lock_guard lock(g_mutex);
    auto it = g_bitmaps.find(h);
    if (it == g_bitmaps.end()) return 0;
    if (!pv) return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP))) return 0;
    const Bitmap& b = it->second;
    BITMAP bm{0, b.width, b.height, ((b.width * b.bitsPerPixel + 15) / 16) * 2, 1, b.bitsPerPixel, nullptr};
    std::memcpy(pv, &bm, sizeof bm);
    return sizeof(BITMAP);
}

BOOL DeleteObject(HGDIOBJ ho) {
    std::lock_guard lock(g_mutex);
    if (ho == g_stockBitmap) return TRUE;
    return g_bitmaps.erase(ho) ? TRUE : (ho != nullptr);
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    Window* w = FromHandle(hWnd);
    if (!w || !lpPaint) return nullptr;
    w->needsPaint = false;
    std::lock_guard lock(g_mutex);
    HDC h = WindowDc(hWnd);
    g_dcs[h].ops.clear();
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = h;
    lpPaint->rcPaint = ClientRect(*w);
    lpPaint->fErase = TRUE;
    return h;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* lpPaint) {
    if (!lpPaint) return FALSE;
    std::lock_guard lock(g_mutex);
    Present(lpPaint->hdc);
    return TRUE;
}

HDC GetDC(HWND hWnd) {
    if (hWnd && !FromHandle(hWnd)) return nullptr;
    std::lock_guard lock(g_mutex);
    return WindowDc(hWnd);
}

int ReleaseDC(HWND, HDC hDC) {
    std::lock_guard lock(g_mutex);
    if (!FindDc(hDC)) return 0;
    Present(hDC);
    return 1;
}

HDC CreateCompatibleDC(HDC) {
    std::lock_guard lock(g_mutex);
    HDC h = NewHandle<HDC>();
    Dc dc;
    dc.bitmap = StockBitmap();
    g_dcs[h] = dc;
    return h;
}

BOOL DeleteDC(HDC hdc) {
    std::lock_guard lock(g_mutex);
    Dc* dc = FindDc(hdc);
    if (!dc || dc->window) return FALSE;
    g_dcs.erase(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    std::lock_guard lock(g_mutex);
    Dc* dc = FindDc(hdc);
    if (!dc || !h) return nullptr;
    if (g_bitmaps.count(h)) {
        HGDIOBJ previous = dc->bitmap;
        dc->bitmap = h;
        return previous;
    }
    HGDIOBJ previous = dc->otherObject ? dc->otherObject : h;
    dc->otherObject = h;
    return previous;
}

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD rop) {
    std::lock_guard lock(g_mutex);
    Dc* src = FindDc(hdcSrc);
    if (!FindDc(hdcDest) || !src) return FALSE;
    const Bitmap& b = g_bitmaps[src->bitmap];
    PaintOp op;
    op.kind = PaintOp::StretchBlt;
    op.dst = {xDest, yDest, xDest + wDest, yDest + hDest};
    op.bitmapId = b.resId;
    op.bitmapSize = {b.width, b.height};
    op.src = {xSrc, ySrc, xSrc + wSrc, ySrc + hSrc};
    op.rop = rop;
    Record(hdcDest, op);
    return TRUE;
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    std::lock_guard lock(g_mutex);
    if (!FindDc(hdc)) return FALSE;
    PaintOp op;
    op.kind = PaintOp::BitBlt;
    op.dst = {x, y, x + cx, y + cy};
    op.src = {x1, y1, x1 + cx, y1 + cy};
    op.rop = rop;
    if (Dc* src = FindDc(hdcSrc)) {
        const Bitmap& b = g_bitmaps[src->bitmap];
        op.bitmapId = b.resId;
        op.bitmapSize = {b.width, b.height};
    }
    Record(hdc, op);
    return TRUE;
}

int SetStretchBltMode(HDC hdc, int mode) {
    std::lock_guard lock(g_mutex);
    Dc* dc = FindDc(hdc);
    if (!dc) return 0;
    int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    std::lock_guard lock(g_mutex);
    auto it = g_iconIds.find(hIcon);
    if (!FindDc(hDC) || it == g_iconIds.end()) return FALSE;
    PaintOp op;
    op.kind = PaintOp::DrawIcon;
    op.dst = {X, Y, X + 32, Y + 32};
    op.iconId = it->second;
    Record(hDC, op);
    return TRUE;
}

HBRUSH GetSysColorBrush(int nIndex) {
    static std::unordered_map<int, HBRUSH> brushes;
    std::lock_guard lock(g_mutex);
    HBRUSH& b = brushes[nIndex];
    if (!b) b = NewHandle<HBRUSH>();
    return b;
}

DWORD GetSysColor(int nIndex) {
    switch (nIndex) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    default: return RGB(0, 0, 0);
    }
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    std::lock_guard lock(g_mutex);
    Dc* dc = FindDc(hdc);
    if (!dc) return 0xFFFFFFFF;
    COLORREF previous = dc->textColor;
    dc->textColor = color;
    return previous;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    std::lock_guard lock(g_mutex);
    Dc* dc = FindDc(hdc);
    if (!dc) return 0xFFFFFFFF;
    COLORREF previous = dc->bkColor;
    dc->bkColor = color;
    return previous;
}

int SetBkMode(HDC hdc, int mode) {
    std::lock_guard lock(g_mutex);
    Dc* dc = FindDc(hdc);
    if (!dc) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}
