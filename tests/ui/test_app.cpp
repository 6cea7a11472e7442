// A small program on the framework, written the way the installer's dialogs are, for the
// replay tests: timers, a worker's message box, nested modals, the file exception.
#include "platform/win32.h"
#include "platform/ui/afx.h"
#include "res/test/test_dialogs.h"

class CNestedDlg : public CDialog {
public:
    CNestedDlg() : CDialog(IDD_TEST_NESTED) {}
};

class CPictureDlg : public CDialog {
public:
    CPictureDlg() : CDialog(IDD_TEST_PICTURE) {}

protected:
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        CBitmap bitmap;
        bitmap.LoadBitmap(IDB_TEST_PICTURE);
        BITMAP bm;
        bitmap.GetBitmap(&bm);
        CDC memory;
        memory.CreateCompatibleDC(&dc);
        CBitmap* old = memory.SelectObject(&bitmap);
        CRect client;
        GetClientRect(&client);
        dc.StretchBlt(0, 0, client.Width(), client.Height(), &memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        memory.SelectObject(old);
    }
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point) {
        if (point.x > 10 && point.x < 50 && point.y > 10 && point.y < 50) SendMessage(WM_CLOSE);
        CDialog::OnLButtonUp(nFlags, point);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPictureDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

class CTestMainDlg : public CDialog {
public:
    CTestMainDlg() : CDialog(IDD_TEST_MAIN) {}

    volatile LONG m_nWorkerAnswer = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_PROGRESS, m_progress);
        DDX_Control(pDX, IDC_SORTED, m_sorted);
        DDX_Control(pDX, IDC_ADDRESS, m_address);
        DDX_Control(pDX, IDC_EDIT, m_edit);
        DDX_Control(pDX, IDC_CHECK, m_check);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_sorted.AddString(TEXT("LPT1:"));
        m_sorted.AddString(TEXT("COM10:"));
        m_sorted.AddString(TEXT("com2:"));
        m_sorted.AddString(TEXT("COM1:"));
        m_sorted.AddString(TEXT("FILE:"));
        m_sorted.SetCurSel(m_sorted.FindString(-1, TEXT("lpt")));
        m_progress.SetRange(0, 10);
        m_progress.SetStep(2);
        m_address.SetAddress(192, 168, 1, 1);
        // The licence-style read: a missing file raises the framework's file exception
        // here, which leaves OnInitDialog; the dialog still opens.
        CFile file(TEXT("test-licence.txt"), CFile::modeRead | CFile::shareExclusive);
        UINT n = static_cast<UINT>(file.GetLength());
        CString text;
        WCHAR* buffer = text.GetBufferSetLength(static_cast<int>(n / 2 + 1));
        for (UINT i = 0; i <= n / 2; ++i) buffer[i] = 0;
        if (n) file.Read(buffer, n);
        text.ReleaseBuffer();
        m_edit.SetWindowText(text);
        SetDlgItemText(IDC_LABEL, TEXT("initialised"));
        return TRUE;
    }

    afx_msg void OnBnClickedTimer() {
        m_nTicks = 0;
        SetTimer(1, 200, nullptr);
    }

    afx_msg void OnTimer(UINT_PTR nIDEvent) {
        if (nIDEvent == 1) {
            ++m_nTicks;
            m_progress.StepIt();
            CString s;
            s.Format(TEXT("tick %d at %u"), m_nTicks, static_cast<unsigned>(GetTickCount()));
            SetDlgItemText(IDC_LABEL, s);
            if (m_nTicks == 8) KillTimer(1);
        } else if (nIDEvent == 2 && m_nWorkerAnswer != 0) {
            KillTimer(2);
            CString s;
            s.Format(TEXT("worker answered %d"), static_cast<int>(m_nWorkerAnswer));
            SetDlgItemText(IDC_LABEL, s);
        }
        CDialog::OnTimer(nIDEvent);
    }

    static DWORD WINAPI WorkerProc(LPVOID p) {
        auto* dlg = static_cast<CTestMainDlg*>(p);
        dlg->BeginWaitCursor();
        Sleep(500);
        int answer = ::MessageBoxW(nullptr, TEXT("Go on?"), TEXT("Worker"), MB_YESNO | MB_ICONQUESTION);
        dlg->EndWaitCursor();
        dlg->m_nWorkerAnswer = answer;
        return 0;
    }

    afx_msg void OnBnClickedWorker() {
        m_nWorkerAnswer = 0;
        SetTimer(2, 100, nullptr);
        CreateThread(nullptr, 0, WorkerProc, this, 0, nullptr);
    }

    afx_msg void OnBnClickedNested() {
        CNestedDlg nested;
        CString s;
        s.Format(TEXT("nested returned %d"), static_cast<int>(nested.DoModal()));
        SetDlgItemText(IDC_LABEL, s);
    }

    afx_msg void OnBnClickedFinish() {
        EndDialog(7);
        CPictureDlg picture;
        picture.DoModal();
    }

    afx_msg void OnBnClickedThrow() {
        CFile file(TEXT("not-here.txt"), CFile::modeRead);
        SetDlgItemText(IDC_LABEL, TEXT("opened"));  // not reached
    }

    afx_msg void OnBnClickedRadio() { SetDlgItemText(IDC_LABEL, TEXT("radio clicked")); }
    afx_msg void OnCbnSelchangeSorted() {
        CString s;
        m_sorted.GetLBText(m_sorted.GetCurSel(), s);
        SetDlgItemText(IDC_LABEL, TEXT("selected ") + s);
    }
    afx_msg void OnEnChangeEdit() {
        CString s;
        m_edit.GetWindowText(s);
        SetDlgItemText(IDC_LABEL, TEXT("typed ") + s);
    }

    CProgressCtrl m_progress;
    CComboBox m_sorted;
    CIPAddressCtrl m_address;
    CEdit m_edit;
    CButton m_check;
    int m_nTicks = 0;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestMainDlg, CDialog)
    ON_BN_CLICKED(IDC_START_TIMER, &CTestMainDlg::OnBnClickedTimer)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_WORKER, &CTestMainDlg::OnBnClickedWorker)
    ON_BN_CLICKED(IDC_NESTED, &CTestMainDlg::OnBnClickedNested)
    ON_BN_CLICKED(IDC_FINISH, &CTestMainDlg::OnBnClickedFinish)
    ON_BN_CLICKED(IDC_THROW, &CTestMainDlg::OnBnClickedThrow)
    ON_BN_CLICKED(IDC_RADIO_A, &CTestMainDlg::OnBnClickedRadio)
    ON_BN_CLICKED(IDC_RADIO_B, &CTestMainDlg::OnBnClickedRadio)
    ON_CBN_SELCHANGE(IDC_SORTED, &CTestMainDlg::OnCbnSelchangeSorted)
    ON_EN_CHANGE(IDC_EDIT, &CTestMainDlg::OnEnChangeEdit)
END_MESSAGE_MAP()

class CTestApp : public CWinApp {
public:
    CTestApp() : CWinApp(TEXT("Drovan Test")) {}
    BOOL InitInstance() override {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        CWinApp::InitInstance();
        CTestMainDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        return FALSE;
    }
};

CTestApp theApp;
