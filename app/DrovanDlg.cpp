#include "app/DrovanDlg.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/DrovanApp.h"
#include "engine/Log.h"

BEGIN_MESSAGE_MAP(CDrovanDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_BACK, &CDrovanDlg::OnBnClickedBack)
    ON_BN_CLICKED(3, &CDrovanDlg::OnBnClickedNext)
    ON_BN_CLICKED(IDC_ACCEPT, &CDrovanDlg::OnBnClickedAccept)
    ON_CBN_SELCHANGE(IDC_PORT_LIST, &CDrovanDlg::OnCbnSelchangePort)
    ON_BN_CLICKED(IDC_PAGE_FRAME, &CDrovanDlg::OnBnClickedPageFrame)
    ON_BN_CLICKED(IDC_MODEL_2, &CDrovanDlg::OnBnClickedModel)
    ON_BN_CLICKED(IDC_MODEL_1, &CDrovanDlg::OnBnClickedModel)
    ON_BN_CLICKED(IDC_MODEL_3, &CDrovanDlg::OnBnClickedModel)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDCANCEL, &CDrovanDlg::OnBnClickedCancel)
    ON_BN_CLICKED(IDC_ADD_PORT, &CDrovanDlg::OnBnClickedAddPort)
    ON_BN_CLICKED(IDC_BAUD_LABEL, &CDrovanDlg::OnBnClickedBaudLabel)
    ON_BN_CLICKED(IDC_MODEL_4, &CDrovanDlg::OnBnClickedModel4)
    ON_BN_CLICKED(IDC_DATA_BITS_LABEL, &CDrovanDlg::OnBnClickedDataBitsLabel)
END_MESSAGE_MAP()

CDrovanDlg::CDrovanDlg(CWnd* pParent)
    : CDialog(IDD_DROVAN_DIALOG, pParent),
      m_hIcon(NULL),
      m_nPage(0),
      m_nInstallState(0),
      m_nTimerId(0),
      m_nInstalledCount(0),
      m_bUsbInstallStarted(false),
      m_bChinese(false) {
    m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
    m_bChinese = GetUserDefaultLangID() == 2052;
    m_nInstallState = 0;

    int nOpened = g_log.Open();
    (void)nOpened;
    const WCHAR szStart[] = TEXT("kwl at begin...");
    size_t n = wcslen(szStart);
    DWORD dwSize = static_cast<DWORD>(2 * n + 2);
    BYTE* pConverted = static_cast<BYTE*>(calloc(dwSize, 1));
    if (pConverted != NULL) {
        WideToAnsi(szStart, pConverted, static_cast<int>(dwSize));
        int nWritten = g_log.Write(pConverted, dwSize);
        (void)nWritten;
        free(pConverted);
    }
}

int CDrovanDlg::WideToAnsi(LPCWSTR pszWide, BYTE* pOut, int nOutBytes) {
    return WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_DEFAULTCHAR, pszWide,
                               nOutBytes / 2 - 1, reinterpret_cast<LPSTR>(pOut), nOutBytes, NULL,
                               NULL);
}

void CDrovanDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LICENCE_TEXT, m_editLicence);
    DDX_Control(pDX, IDC_ACCEPT, m_chkAccept);
    DDX_Control(pDX, IDC_BACK, m_btnBack);
    DDX_Control(pDX, 3, m_btnNext);
    DDX_Control(pDX, IDC_DEFAULT_PRINTER, m_chkDefaultPrinter);
    DDX_Control(pDX, IDC_PAPER_76, m_rdoPaper76);
    DDX_Control(pDX, IDC_PAPER_57, m_rdoPaper57);
    DDX_Control(pDX, IDC_MODEL_1, m_rdoModel1);
    DDX_Control(pDX, IDC_MODEL_2, m_rdoModel2);
    DDX_Control(pDX, IDC_MODEL_3, m_rdoModel3);
    DDX_Control(pDX, IDC_MODEL_4, m_rdoModel4);
    DDX_Control(pDX, IDC_PAGE_FRAME, m_stcPageFrame);
    DDX_Control(pDX, IDC_MODEL_NOTES_FRAME, m_stcModelNotesFrame);
    DDX_Control(pDX, IDC_MODEL_NOTE_1, m_stcModelNote1);
    DDX_Control(pDX, IDC_MODEL_NOTE_2, m_stcModelNote2);
    DDX_Control(pDX, IDC_MODEL_NOTE_3, m_stcModelNote3);
    DDX_Control(pDX, IDC_USB_HINT, m_stcUsbHint);
    DDX_Control(pDX, IDC_PORT_LABEL, m_stcPortLabel);
    DDX_Control(pDX, IDC_PORT_LIST, m_cbPort);
    DDX_Control(pDX, IDC_SERIAL_FRAME, m_stcSerialFrame);
    DDX_Control(pDX, IDC_BAUD_LABEL, m_stcBaudLabel);
    DDX_Control(pDX, IDC_PARITY_LABEL, m_stcParityLabel);
    DDX_Control(pDX, IDC_DATA_BITS_LABEL, m_stcDataBitsLabel);
    DDX_Control(pDX, IDC_STOP_BITS_LABEL, m_stcStopBitsLabel);
    DDX_Control(pDX, IDC_BAUD, m_cbBaud);
    DDX_Control(pDX, IDC_PARITY, m_cbParity);
    DDX_Control(pDX, IDC_DATA_BITS, m_cbDataBits);
    DDX_Control(pDX, IDC_STOP_BITS, m_cbStopBits);
    DDX_Control(pDX, IDC_FLOW_LABEL, m_stcFlowLabel);
    DDX_Control(pDX, IDC_FLOW, m_cbFlow);
    DDX_Control(pDX, IDC_UNUSED_EDIT, m_editUnused);
    DDX_Control(pDX, IDC_MAKER_MODELS, m_cbMakerModels);
    DDX_Control(pDX, IDC_MODEL_FRAME, m_stcModelFrame);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_PROGRESS_TEXT, m_stcProgressText);
    DDX_Control(pDX, IDC_ADD_PORT, m_btnAddPort);
}

BOOL CDrovanDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    ApplyLanguageTexts();
    // A missing licence file raises the framework's file exception here: the framework
    // reports it and initialisation stops, leaving the wizard at page 0.
    ShowLicencePage();
    SetSerialDefaults();
    FillPortList();
    m_nPage = 1;
    WriteLanguageMarker();
    return TRUE;
}

void CDrovanDlg::ApplyLanguageTexts() {
    if (m_bChinese) return;
    SetWindowText(TEXT("Printer Driver Setup"));
    m_btnBack.SetWindowText(TEXT("Last<<"));
    SetDlgItemText(IDCANCEL, TEXT("Cancel"));
    m_chkAccept.SetWindowText(TEXT("I agree"));
    m_chkDefaultPrinter.SetWindowText(TEXT("Default"));
    m_rdoPaper76.SetWindowText(TEXT("76mm Paper"));
    m_rdoPaper57.SetWindowText(TEXT("57mm Paper"));
    m_rdoModel1.SetWindowText(TEXT("QB410"));
    m_rdoModel2.SetWindowText(TEXT("QD530"));
    m_rdoModel3.SetWindowText(TEXT("KELV MR5A"));
    m_rdoModel4.SetWindowText(TEXT("KELV MR6A"));
    m_stcFlowLabel.SetWindowText(TEXT("Flow control:"));
    m_stcBaudLabel.SetWindowText(TEXT("Baud:"));
    m_stcParityLabel.SetWindowText(TEXT("Parity:"));
    m_stcDataBitsLabel.SetWindowText(TEXT("Databit:"));
    m_stcStopBitsLabel.SetWindowText(TEXT("Stopbit:"));
    m_stcSerialFrame.SetWindowText(TEXT("COM"));
    m_stcPortLabel.SetWindowText(TEXT("Port:"));
    m_stcUsbHint.SetWindowText(TEXT("If USB connected, please turn on the printer"));
}

void CDrovanDlg::SetSerialDefaults() {
    m_cbBaud.SetCurSel(3);      // 9600
    m_cbDataBits.SetCurSel(3);  // 8
    m_cbParity.SetCurSel(2);    // NONE
    m_cbStopBits.SetCurSel(0);  // 1
    m_cbFlow.SetCurSel(1);      // Hardware
}

void CDrovanDlg::WriteLanguageMarker() {
    if (theApp.IsDryRun()) return;  // a dry run changes nothing on the machine
    if (_access("C:\\Temp", 0) != 0) CreateDirectoryA("C:\\Temp", NULL);

    LANGID nLang = GetUserDefaultLangID();
    int nCode = nLang == 2052 ? 0 : nLang == 1028 ? 2 : 1;

    // Anyone may make C:\Temp, and make it a link to a folder of the system's. It is held
    // open while the marker is written: a folder of its own, not a link, and without
    // FILE_SHARE_DELETE nobody can rename it and put a link in its place meanwhile.
    HANDLE hFolder = CreateFileW(TEXT("C:\\Temp"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (hFolder == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION folder;
    memset(&folder, 0, sizeof(folder));
    bool bFolder = GetFileInformationByHandle(hFolder, &folder) &&
                   (folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (folder.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (bFolder) WriteMarkerFile(nCode);
    CloseHandle(hFolder);
}

void CDrovanDlg::WriteMarkerFile(int nCode) {
    // The program runs elevated and C:\Temp is writable by everyone: open the name
    // itself, never what a planted link points to, and write only into a plain file
    // of one name, so that a link cannot make us truncate someone else's file.
    HANDLE hFile = CreateFileW(TEXT("C:\\Temp\\garland.out"), GENERIC_READ | GENERIC_WRITE, 0,
                               NULL, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (hFile == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info;
    memset(&info, 0, sizeof(info));
    bool bPlain = GetFileInformationByHandle(hFile, &info) &&
                  (info.dwFileAttributes &
                   (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
                  info.nNumberOfLinks == 1;
    if (bPlain && SetFilePointer(hFile, 0, NULL, FILE_BEGIN) == 0 && SetEndOfFile(hFile)) {
        char szCode[8];
        int nLength = snprintf(szCode, sizeof(szCode), "%d", nCode);
        DWORD dwWritten = 0;
        WriteFile(hFile, szCode, static_cast<DWORD>(nLength), &dwWritten, NULL);
    }
    CloseHandle(hFile);
}

void CDrovanDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        int cxIcon = GetSystemMetrics(SM_CXICON);
        int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        int x = (rect.Width() - cxIcon + 1) / 2;
        int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CDrovanDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CDrovanDlg::OnBnClickedPageFrame() {}
void CDrovanDlg::OnBnClickedBaudLabel() {}
void CDrovanDlg::OnBnClickedModel4() {}
void CDrovanDlg::OnBnClickedDataBitsLabel() {}
