#include "ports/AddPortDlg.h"

#include <string.h>

#include "app/DrovanDlg.h"

IMPLEMENT_DYNAMIC(CAddPortDlg, CDialog)

BEGIN_MESSAGE_MAP(CAddPortDlg, CDialog)
    ON_BN_CLICKED(IDC_ADDPORT_SERIAL, &CAddPortDlg::OnBnClickedSerial)
    ON_BN_CLICKED(IDC_ADDPORT_ETHERNET, &CAddPortDlg::OnBnClickedEthernet)
    ON_BN_CLICKED(IDOK, &CAddPortDlg::OnBnClickedOk)
END_MESSAGE_MAP()

// m_nPortType is the caller's to set before the dialog is shown.
CAddPortDlg::CAddPortDlg(CWnd* pParent) : CDialog(IDD_ADDPORT_DIALOG, pParent), m_nPortType(0) {
    memset(m_szNewPortName, 0, sizeof(m_szNewPortName));
}

CAddPortDlg::~CAddPortDlg() {}

void CAddPortDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ADDPORT_SERIAL_LIST, m_cbSerialPort);
    DDX_Control(pDX, IDC_ADDPORT_ADDRESS, m_ipAddress);
}

BOOL CAddPortDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    bool bSerial = m_nPortType == 0;
    CheckRadioButton(IDC_ADDPORT_SERIAL, IDC_ADDPORT_ETHERNET,
                     bSerial ? IDC_ADDPORT_SERIAL : IDC_ADDPORT_ETHERNET);
    m_cbSerialPort.EnableWindow(bSerial);
    m_ipAddress.EnableWindow(!bSerial);
    for (int i = 1; i <= 256; ++i) {
        WCHAR szName[16];
        wsprintfW(szName, TEXT("KLCOM%d:"), i);
        m_cbSerialPort.AddString(szName);
    }
    m_cbSerialPort.SetCurSel(0);
    m_ipAddress.SetAddress(192, 168, 1, 1);
    return TRUE;
}

void CAddPortDlg::OnBnClickedSerial() {
    m_cbSerialPort.EnableWindow(TRUE);
    m_ipAddress.EnableWindow(FALSE);
}

void CAddPortDlg::OnBnClickedEthernet() {
    m_cbSerialPort.EnableWindow(FALSE);
    m_ipAddress.EnableWindow(TRUE);
}

void CAddPortDlg::OnBnClickedOk() {
    CString strText;
    CButton* pSerial = static_cast<CButton*>(GetDlgItem(IDC_ADDPORT_SERIAL));
    if (pSerial != NULL && pSerial->GetCheck() == BST_CHECKED) {
        m_nPortType = 0;
        m_cbSerialPort.GetWindowText(strText);
    } else {
        m_nPortType = 1;
        m_ipAddress.GetWindowText(strText);
    }
    wcsncpy_s(m_szNewPortName, 200, strText, _TRUNCATE);
    CDialog::OnOK();
}

void CDrovanDlg::OnBnClickedAddPort() {
    CAddPortDlg dlg;
    dlg.m_nPortType = 0;
    if (dlg.DoModal() != IDOK) return;
    WCHAR szName[200];
    memset(szName, 0, sizeof(szName));
    wcsncpy_s(szName, 200, dlg.m_szNewPortName, _TRUNCATE);

    WCHAR szEntry[220];
    memset(szEntry, 0, sizeof(szEntry));
    if (dlg.m_nPortType == 0) {
        if (m_cbPort.FindString(-1, szName) != CB_ERR) return;  // already listed
        wcscpy_s(szEntry, 220, szName);
    } else {
        wsprintfW(szEntry, TEXT("KLIP_%s"), szName);
        // The same address twice would stand twice: check the name that is added.
        if (m_cbPort.FindStringExact(-1, szEntry) != CB_ERR) return;
    }
    m_cbPort.AddString(szEntry);
    int nIndex = m_cbPort.FindString(-1, szEntry);
    m_cbPort.SetCurSel(nIndex != CB_ERR ? nIndex : 0);
    CWnd* pList = GetDlgItem(IDC_PORT_LIST);
    SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PORT_LIST, CBN_SELCHANGE),
                reinterpret_cast<LPARAM>(pList != NULL ? pList->GetSafeHwnd() : NULL));
}
