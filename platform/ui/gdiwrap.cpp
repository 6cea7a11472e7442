// The GDI wrappers: CGdiObject, CBitmap, CDC, CPaintDC, CClientDC.
#include <mutex>
#include <unordered_map>

#include "platform/ui/afxwin.h"
#include "platform/ui/window.h"
#ifdef _WIN32
#include "platform/ui/win32/win32_backend.h"
#endif

namespace {
std::mutex g_tempMutex;
std::unordered_map<HDC, std::unique_ptr<CDC>> g_tempDCs;
std::unordered_map<HBITMAP, std::unique_ptr<CBitmap>> g_tempBitmaps;
}  // namespace

HWND drovan::ui::DrawingWindow(HWND h) {
#ifdef _WIN32
    return win32::NativeWindow(h);
#else
    return h;
#endif
}

using drovan::ui::DrawingWindow;

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCEW(nIDResource)); }

BOOL CBitmap::LoadBitmap(LPCWSTR lpszResourceName) {
    DeleteObject();
    return Attach(::LoadBitmapW(AfxGetResourceHandle(), lpszResourceName));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const { return ::GetObjectW(m_hObject, sizeof(BITMAP), pBitMap); }

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    if (!hBitmap) return nullptr;
    std::lock_guard lock(g_tempMutex);
    auto& b = g_tempBitmaps[hBitmap];
    if (!b) {
        b = std::make_unique<CBitmap>();
        b->m_hObject = hBitmap;
    }
    return b.get();
}

CDC::~CDC() { m_previousBitmap.Detach(); }

CDC* CDC::FromHandle(HDC hDC) {
    if (!hDC) return nullptr;
    std::lock_guard lock(g_tempMutex);
    auto& d = g_tempDCs[hDC];
    if (!d) {
        d = std::make_unique<CDC>();
        d->m_hDC = hDC;
    }
    return d.get();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) { return Attach(::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr)); }

BOOL CDC::DeleteDC() {
    if (!m_hDC) return FALSE;
    return ::DeleteDC(Detach());
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    HGDIOBJ previous = ::SelectObject(m_hDC, pBitmap ? pBitmap->m_hObject : nullptr);
    m_previousBitmap.Detach();
    m_previousBitmap.m_hObject = previous;
    return previous ? &m_previousBitmap : nullptr;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) { return ::SelectObject(m_hDC, hObject); }

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
    return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, nSrcWidth,
                        nSrcHeight, dwRop);
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, dwRop);
}

int CDC::SetStretchBltMode(int nStretchMode) { return ::SetStretchBltMode(m_hDC, nStretchMode); }
BOOL CDC::DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
COLORREF CDC::SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
COLORREF CDC::SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
int CDC::SetBkMode(int nBkMode) { return ::SetBkMode(m_hDC, nBkMode); }

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { Attach(::BeginPaint(DrawingWindow(m_hWnd), &m_ps)); }

CPaintDC::~CPaintDC() {
    ::EndPaint(DrawingWindow(m_hWnd), &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) { Attach(::GetDC(DrawingWindow(m_hWnd))); }

CClientDC::~CClientDC() { ::ReleaseDC(DrawingWindow(m_hWnd), Detach()); }
