#include "app/UserOptionDlg.h"

namespace {

// The maker's web page, opened from the picture's web button.
const WCHAR kszVendorWebPage[] = TEXT("https://www.drovan.example/");

// The painted buttons, in pixels of the picture; a point must lie strictly inside (all four
// bounds exclusive).
const RECT krcWebPageArea = {43, 414, 295, 484};
const RECT krcCloseArea = {994, 16, 1038, 59};

bool IsInside(const RECT& rcArea, CPoint point) {
    return point.x > rcArea.left && point.x < rcArea.right && point.y > rcArea.top &&
           point.y < rcArea.bottom;
}

// The picture's pixel that a stretch of nPicture pixels over nClient paints at client pixel
// n: the one under that pixel's centre, n + 1/2, scaled and rounded down.
int ToPicture(int n, int nClient, int nPicture) {
    long long llScaled = (2LL * n + 1) * nPicture;
    long long llDivisor = 2LL * nClient;
    if (llScaled >= 0) return static_cast<int>(llScaled / llDivisor);
    return static_cast<int>(-((llDivisor - 1 - llScaled) / llDivisor));  // rounded down, not to zero
}

// Runs a command through the command interpreter from the system folder. cmd.exe (and
// Wine's start.exe) look for a bare program name such as "explorer" in the current folder
// before the PATH, and an installer's current folder is usually the one it was unpacked
// into, which the user who downloaded it can write: an explorer.exe left there would run
// with the installer's administrator rights. The system folder only administrators can
// write. Without it the command is not run at all.
int RunFromSystemFolder(LPCWSTR pszCommand) {
    WCHAR szSystem[MAX_PATH];
    WCHAR szPrevious[MAX_PATH];
    UINT cchSystem = GetSystemDirectoryW(szSystem, MAX_PATH);
    DWORD cchPrevious = GetCurrentDirectoryW(MAX_PATH, szPrevious);
    if (cchSystem == 0 || cchSystem >= MAX_PATH || !SetCurrentDirectoryW(szSystem)) return -1;
    int nResult = _wsystem(pszCommand);
    if (cchPrevious > 0 && cchPrevious < MAX_PATH) SetCurrentDirectoryW(szPrevious);
    return nResult;
}

}  // namespace

IMPLEMENT_DYNAMIC(CUserOptionDlg, CDialog)

CUserOptionDlg::CUserOptionDlg(CWnd* pParent) : CDialog(IDD_USEROPTION_DIALOG, pParent) {}

void CUserOptionDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }

BEGIN_MESSAGE_MAP(CUserOptionDlg, CDialog)
    ON_WM_CTLCOLOR()
    ON_WM_LBUTTONUP()
    ON_WM_PAINT()
END_MESSAGE_MAP()

BOOL CUserOptionDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}

HBRUSH CUserOptionDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

// The picture is the whole face of the dialog: it is stretched over the client area on
// every paint, so a repaint of any part redraws all of it.
void CUserOptionDlg::OnPaint() {
    CPaintDC dc(this);
    CBitmap bmpPicture;
    if (!bmpPicture.LoadBitmap(IDB_CLOSING_PICTURE)) return;
    BITMAP bm;
    bmpPicture.GetBitmap(&bm);
    CDC dcMemory;
    dcMemory.CreateCompatibleDC(&dc);
    CBitmap* pOldBitmap = dcMemory.SelectObject(&bmpPicture);
    CRect rcClient;
    GetClientRect(&rcClient);
    dc.StretchBlt(0, 0, rcClient.Width(), rcClient.Height(), &dcMemory, 0, 0, bm.bmWidth, bm.bmHeight,
                  SRCCOPY);
    dcMemory.SelectObject(pOldBitmap);
}

CUserOptionDlg::EHotArea CUserOptionDlg::HotAreaAt(CPoint point, CSize sizeClient, CSize sizePicture) {
    CPoint ptPicture = point;
    if (sizeClient.cx > 0 && sizeClient.cy > 0 && sizePicture.cx > 0 && sizePicture.cy > 0) {
        ptPicture.x = ToPicture(point.x, sizeClient.cx, sizePicture.cx);
        ptPicture.y = ToPicture(point.y, sizeClient.cy, sizePicture.cy);
    }
    if (IsInside(krcWebPageArea, ptPicture)) return HOT_WEB_PAGE;
    if (IsInside(krcCloseArea, ptPicture)) return HOT_CLOSE;
    return HOT_NONE;
}

void CUserOptionDlg::OnLButtonUp(UINT nFlags, CPoint point) {
    // The picture's size as painted; without it the point is taken as the picture's own.
    CSize sizePicture;
    CBitmap bmpPicture;
    if (bmpPicture.LoadBitmap(IDB_CLOSING_PICTURE)) {
        BITMAP bm;
        bmpPicture.GetBitmap(&bm);
        sizePicture = CSize(bm.bmWidth, bm.bmHeight);
    }
    CRect rcClient;
    GetClientRect(&rcClient);
    EHotArea eArea = HotAreaAt(point, rcClient.Size(), sizePicture);
    if (eArea == HOT_WEB_PAGE) {
        // The command interpreter's "start" returns at once and leaves the browser
        // running; whether it could be started is not the dialog's concern, it closes
        // either way.
        CString strCommand = TEXT("start explorer ");
        strCommand += kszVendorWebPage;
        RunFromSystemFolder(strCommand);
        SendMessage(WM_CLOSE);
    }
    if (eArea == HOT_CLOSE) SendMessage(WM_CLOSE);
    CDialog::OnLButtonUp(nFlags, point);
}
